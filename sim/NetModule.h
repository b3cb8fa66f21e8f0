#pragma once
// The network model's embedded network module: discovery on UDP port 30718,
// its settings block on TCP port 30718, the two-step factory reset and the
// address assignment by MAC. After an accepted change it restarts: away for
// a while, then back at the address of its new settings when that address
// is a loopback address (0.0.0.0 gives back the address it started at).

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>

#include <array>
#include <cstdint>
#include <memory>

class QTcpSocket;

namespace hlx::sim {

inline constexpr quint16 kNetModulePort = 30718;
inline constexpr std::size_t kNetBlockSize = 124;

// Failure modes of the module, for the program's error handling. A module
// with a fault applies nothing it receives.
enum class NetFault {
  None,
  Silent,  // accepts connections, answers nothing
  Short,   // every reply one byte short (the discovery reply 29 bytes)
  Long,    // every reply one byte long
  Code,    // every reply with a wrong code
  Reset,   // resets the TCP connection halfway through a reply
};

struct NetModuleSettings {
  std::array<std::uint8_t, 6> mac{};
  int restartMs = 3000;
  NetFault fault = NetFault::None;
};

// The module without sockets: its settings block and its answer to one
// whole packet.
class NetModuleCore {
 public:
  NetModuleCore(const NetModuleSettings& settings, quint32 startAddress);

  // Length of a TCP packet with this code, 0 for a code the module does not know.
  static std::size_t PacketSize(std::uint8_t code);

  struct Answer {
    QByteArray reply;  // empty: none
    bool restart = false;
    QString event;  // what the simulator reports, empty: nothing
  };
  Answer HandleTcp(const QByteArray& packet);
  Answer HandleUdp(const QByteArray& datagram);

  // Where the module comes back after a restart.
  quint32 Address() const;
  const std::array<std::uint8_t, kNetBlockSize>& Block() const { return m_block; }

 private:
  QByteArray Faulty(QByteArray reply) const;

  NetModuleSettings m_settings;
  quint32 m_startAddress;
  std::array<std::uint8_t, kNetBlockSize> m_block{};
};

class NetModule : public QObject {
  Q_OBJECT
 public:
  NetModule(const NetModuleSettings& settings, const QHostAddress& address, QObject* parent = nullptr);
  ~NetModule() override;

  bool Open(QString& error);
  QHostAddress Address() const { return m_address; }

 signals:
  // The module stopped answering to restart.
  void down();
  // It answers again at `address`.
  void up(const QHostAddress& address);
  // Something a watching test or user wants to know ("written FA", ...).
  void event(const QString& text);

 private:
  bool Listen(QString& error);
  void Close();
  void Restart();
  void OnDatagrams();
  void OnNewConnection();
  void OnReadyRead(QTcpSocket* client);

  NetModuleSettings m_settings;
  NetModuleCore m_core;
  QHostAddress m_address;
  QUdpSocket m_udp;
  QTcpServer m_server;
  QHash<QTcpSocket*, QByteArray> m_pending;  // bytes of a packet not yet complete
  QTimer m_restart;
};

// "02-00-00-0B-1C-2D" or with colons; false when it is not six hexadecimal octets.
bool ParseMac(const QString& text, std::array<std::uint8_t, 6>& mac);
QString MacText(const std::array<std::uint8_t, 6>& mac);

}  // namespace hlx::sim
