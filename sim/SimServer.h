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

#include "NetModule.h"
#include "NoiseSource.h"
#include "SimDevice.h"

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
  // The network model's module, at `address`; while it restarts the UDP and
  // TCP endpoints are gone, and they come back at its new address.
  std::optional<NetModuleSettings> netModule;
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
  // What the network module did, as one line of text.
  void netEvent(const QString& text);

 private:
  std::vector<std::string> HandleLine(const std::string& line);
  void Tick();
  qint64 Backlog() const;
  bool OpenNetEndpoints(const QHostAddress& address, QString& error);

  SimDevice m_device;
  ServerSettings m_settings;
  QFile m_record;
  std::unique_ptr<PtyEndpoint> m_pty;
  std::unique_ptr<UdpEndpoint> m_udp;
  std::unique_ptr<TcpEndpoint> m_tcp;
  std::unique_ptr<NetModule> m_module;
  QTimer m_timer;
  QElapsedTimer m_clock;
  std::string m_batch;
  std::unique_ptr<NoiseSource> m_noise;
  bool m_hangUpScheduled = false;
};

}  // namespace hlx::sim
