#pragma once
// Puts one SimDevice on its transports: pty, UDP and TCP, a clock that drives
// the live output, and the record file of everything received.

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>

#include "CaptureReplay.h"
#include "NetModule.h"
#include "NoiseSource.h"
#include "SimBootloader.h"
#include "SimDevice.h"
#include "WirelessModule.h"

namespace hlx::sim {

class PtyEndpoint;
class UdpEndpoint;
class TcpEndpoint;

struct ServerSettings {
  QHostAddress address{QStringLiteral("127.0.0.2")};
  quint16 port = 10110;
  QString ptyPath;  // empty: no pseudo-terminal
  QHostAddress udpPeer{QStringLiteral("127.0.0.1")};
  quint16 udpPeerPort = 10110;
  QString recordPath;  // empty: no record
  bool verbose = false;
  double noiseRate = 0;   // garbage bytes per second mixed into the output, 0: none
  int hangUpAfterMs = 0;  // hang up this long after the first host connected, 0: never
  bool pace = false;      // the pseudo-terminal moves bytes at its wire speed
  LoaderSettings loader;
  bool startInLoader = false;
  // The network model's module, at `address`; while it restarts the UDP and
  // TCP endpoints are gone, and they come back at its new address.
  std::optional<NetModuleSettings> netModule;
  // The WiFi model's wireless module, which fetches its updates by FTP.
  std::optional<WirelessSettings> wireless;
  // A capture played instead of generated traffic, from when a host first
  // appears (opens the terminal, connects over TCP or sends a line).
  QString replayPath;  // empty: none
  double replaySpeed = 1;
  bool replayLoop = false;
};

class SimServer : public QObject {
  Q_OBJECT
 public:
  SimServer(const SimSettings& device, const ServerSettings& server, QObject* parent = nullptr);
  ~SimServer() override;

  // Opens every endpoint; on success `endpoints` holds one line per endpoint.
  bool Start(QStringList& endpoints, QString& error);
  SimDevice& Device() { return m_device; }

  // Pulls the cable: the pseudo-terminal hangs up (a new one takes its
  // link's place) and every TCP connection is reset. Emits hungUp().
  void HangUp();

 signals:
  void hungUp();
  // Something worth a line in the log (the bootloader's restarts and verdicts).
  void note(const QString& text);
  // What the network module did, as one line of text.
  void netEvent(const QString& text);
  // What the wireless module did, as one line of text.
  void wifiEvent(const QString& text);

 private:
  // Where a line or bytes came from; the bootloader talks on the stream channels only.
  enum Channel : unsigned { kChannelPty = 1, kChannelTcp = 2, kChannelUdp = 4 };

  std::vector<std::string> HandleLine(const std::string& line, Channel from);
  void EnterLoader(unsigned channels);
  void LoaderBytes(std::string_view bytes, Channel from);
  void Deliver(SimBootloader::Output& out);
  void DropLoaderChannel();
  void LeaveLoader(const FirmwareRecord& image);
  void Tick();
  qint64 Backlog() const;
  // Live output on every channel: traffic, the replay.
  void Broadcast(const QByteArray& data);
  bool HostAppeared() const;
  bool OpenNetEndpoints(const QHostAddress& address, QString& error);

  SimDevice m_device;
  ServerSettings m_settings;
  QFile m_record;
  std::unique_ptr<PtyEndpoint> m_pty;
  std::unique_ptr<UdpEndpoint> m_udp;
  std::unique_ptr<TcpEndpoint> m_tcp;
  std::unique_ptr<NetModule> m_module;
  std::unique_ptr<WirelessModule> m_wireless;
  QTimer m_timer;
  QElapsedTimer m_clock;
  std::string m_batch;
  std::unique_ptr<NoiseSource> m_noise;
  bool m_hangUpScheduled = false;
  bool m_lineHeard = false;  // a host sent something
  std::unique_ptr<CapturePlayer> m_replay;
  SimBootloader m_boot;
  unsigned m_loaderChannels = 0;  // where the bootloader talks
  bool m_dropping = false;        // the loader's channel is about to vanish
};

}  // namespace hlx::sim
