#include "NetModule.h"

#include <sys/socket.h>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTcpSocket>

#include <cstring>

namespace hlx::sim {

namespace {

// The module's own view of its protocol (the program's definitions are not shared).
constexpr std::size_t kCode = 3;
constexpr std::uint8_t kDiscover = 0xF6, kDiscovered = 0xF7, kRead = 0xF8, kBlock = 0xF9, kWrite = 0xFA,
                       kWriteNewAddress = 0xFD, kAccepted = 0xFB, kResetFirst = 0xC7, kResetAccepted = 0xB7,
                       kAssign = 0xFC;
constexpr std::size_t kHeader = 4, kDiscoveryReply = 30, kDiscoveryMac = 24, kResetFirstSize = 130,
                      kAssignSize = 20, kAssignMac = 14, kAssignAddress = 16, kBlockAddress = 4,
                      kHostBits = 10, kMode = 32;
constexpr char kAssignTag[] = "IP-SETUP";
// A code no reply of the protocol uses.
constexpr std::uint8_t kWrongCode = 0xEE;

QByteArray Header(std::size_t size, std::uint8_t code) {
  QByteArray packet(static_cast<qsizetype>(size), '\0');
  packet[kCode] = static_cast<char>(code);
  return packet;
}

quint32 AddressAt(const std::uint8_t* bytes) {
  return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3];
}

void PutAddress(std::uint8_t* bytes, quint32 address) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
}

}  // namespace

NetModuleCore::NetModuleCore(const NetModuleSettings& settings, quint32 startAddress)
    : m_settings(settings), m_startAddress(startAddress) {
  // Leaves the box configured for where it was started: its address, a /8
  // mask, TCP operation on port 10110.
  m_block[kCode] = kBlock;
  PutAddress(&m_block[kBlockAddress], startAddress);
  m_block[kHostBits] = 24;
  m_block[11] = 0x2D;
  m_block[20] = 0x4C;
  m_block[21] = 0x0A;
  m_block[22] = 0x02;
  m_block[24] = m_block[26] = 10110 & 0xFF;
  m_block[25] = m_block[27] = 10110 >> 8;
  m_block[kMode] = 0xC0;
  m_block[36] = 0x0D;
  m_block[37] = 0x0A;
  m_block[38] = 0xF7;
}

std::size_t NetModuleCore::PacketSize(std::uint8_t code) {
  switch (code) {
    case kRead: return kHeader;
    case kWrite:
    case kWriteNewAddress: return kNetBlockSize;
    case kResetFirst: return kResetFirstSize;
    default: return 0;
  }
}

QByteArray NetModuleCore::Faulty(QByteArray reply) const {
  switch (m_settings.fault) {
    case NetFault::Silent: return {};
    case NetFault::Short: reply.chop(1); break;
    case NetFault::Long: reply.append('\0'); break;
    case NetFault::Code: reply[kCode] = static_cast<char>(kWrongCode); break;
    case NetFault::None:
    case NetFault::Reset: break;
  }
  return reply;
}

NetModuleCore::Answer NetModuleCore::HandleTcp(const QByteArray& packet) {
  const bool healthy = m_settings.fault == NetFault::None;
  Answer answer;
  switch (static_cast<std::uint8_t>(packet[kCode])) {
    case kRead:
      answer.reply = QByteArray(reinterpret_cast<const char*>(m_block.data()), kNetBlockSize);
      break;
    case kWrite:
    case kWriteNewAddress:
      answer.reply = Header(kHeader, kAccepted);
      answer.event = QStringLiteral("written ") +
                     QString::number(static_cast<std::uint8_t>(packet[kCode]), 16).toUpper();
      if (healthy) {
        std::memcpy(m_block.data(), packet.constData(), kNetBlockSize);
        m_block[0] = m_block[1] = m_block[2] = 0;
        m_block[kCode] = kBlock;
        answer.restart = true;
      }
      break;
    case kResetFirst:
      answer.reply = Header(kHeader, kResetAccepted);
      answer.event = QStringLiteral("reset requested");
      break;
  }
  answer.reply = Faulty(answer.reply);
  return answer;
}

NetModuleCore::Answer NetModuleCore::HandleUdp(const QByteArray& datagram) {
  Answer answer;
  if (static_cast<std::size_t>(datagram.size()) == kHeader &&
      static_cast<std::uint8_t>(datagram[kCode]) == kDiscover) {
    answer.reply = Header(kDiscoveryReply, kDiscovered);
    std::memcpy(answer.reply.data() + kDiscoveryMac, m_settings.mac.data(), m_settings.mac.size());
    answer.reply = Faulty(answer.reply);
  } else if (static_cast<std::size_t>(datagram.size()) == kAssignSize &&
             static_cast<std::uint8_t>(datagram[kCode]) == kAssign &&
             datagram.mid(4, sizeof kAssignTag - 1) == kAssignTag &&
             static_cast<std::uint8_t>(datagram[kAssignMac]) == m_settings.mac[4] &&
             static_cast<std::uint8_t>(datagram[kAssignMac + 1]) == m_settings.mac[5]) {
    const quint32 address =
        AddressAt(reinterpret_cast<const std::uint8_t*>(datagram.constData()) + kAssignAddress);
    answer.event = QStringLiteral("assigned %1").arg(QHostAddress(address).toString());
    if (m_settings.fault == NetFault::None) {
      PutAddress(&m_block[kBlockAddress], address);
      answer.restart = true;
    }
  }
  return answer;
}

quint32 NetModuleCore::Address() const {
  const quint32 set = AddressAt(&m_block[kBlockAddress]);
  return set != 0 ? set : m_startAddress;
}

NetModule::NetModule(const NetModuleSettings& settings, const QHostAddress& address, QObject* parent)
    : QObject(parent), m_settings(settings), m_core(settings, address.toIPv4Address()), m_address(address) {
  connect(&m_udp, &QUdpSocket::readyRead, this, &NetModule::OnDatagrams);
  connect(&m_server, &QTcpServer::newConnection, this, &NetModule::OnNewConnection);
  m_restart.setSingleShot(true);
  connect(&m_restart, &QTimer::timeout, this, [this] {
    m_address = QHostAddress(m_core.Address());
    QString error;
    if (!m_address.isLoopback())
      emit event(QStringLiteral("unreachable %1").arg(m_address.toString()));
    else if (!Listen(error))
      emit event(QStringLiteral("unreachable %1: %2").arg(m_address.toString(), error));
    else
      emit up(m_address);
  });
}

NetModule::~NetModule() { Close(); }

bool NetModule::Open(QString& error) { return Listen(error); }

bool NetModule::Listen(QString& error) {
  if (!m_udp.bind(m_address, kNetModulePort)) {
    error = QStringLiteral("network module UDP bind: ") + m_udp.errorString();
    return false;
  }
  if (!m_server.listen(m_address, kNetModulePort)) {
    error = QStringLiteral("network module TCP listen: ") + m_server.errorString();
    m_udp.close();
    return false;
  }
  return true;
}

void NetModule::Close() {
  m_udp.close();
  m_server.close();
  const QList<QTcpSocket*> clients = m_pending.keys();
  m_pending.clear();
  for (QTcpSocket* client : clients) {
    client->disconnect(this);
    client->flush();  // the acceptance of the write that caused the restart
    client->close();
    client->deleteLater();
  }
}

void NetModule::Restart() {
  Close();
  emit down();
  m_restart.start(m_settings.restartMs);
}

void NetModule::OnDatagrams() {
  bool restart = false;
  while (m_udp.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = m_udp.receiveDatagram();
    const NetModuleCore::Answer answer = m_core.HandleUdp(datagram.data());
    if (!answer.reply.isEmpty())
      m_udp.writeDatagram(answer.reply, datagram.senderAddress(), datagram.senderPort());
    if (!answer.event.isEmpty()) emit event(answer.event);
    restart = restart || answer.restart;
  }
  if (restart) Restart();
}

void NetModule::OnNewConnection() {
  while (QTcpSocket* client = m_server.nextPendingConnection()) {
    m_pending.insert(client, {});
    connect(client, &QTcpSocket::readyRead, this, [this, client] { OnReadyRead(client); });
    connect(client, &QTcpSocket::disconnected, this, [this, client] {
      m_pending.remove(client);
      client->deleteLater();
    });
  }
}

void NetModule::OnReadyRead(QTcpSocket* client) {
  auto it = m_pending.find(client);
  if (it == m_pending.end()) return;
  it->append(client->readAll());
  while (it->size() >= static_cast<qsizetype>(kHeader)) {
    const std::size_t size = NetModuleCore::PacketSize(static_cast<std::uint8_t>(it->at(kCode)));
    if (size == 0) {
      emit event(QStringLiteral("unknown code ") +
                 QString::number(static_cast<std::uint8_t>(it->at(kCode)), 16).toUpper());
      m_pending.erase(it);
      client->disconnect(this);
      client->abort();
      client->deleteLater();
      return;
    }
    if (it->size() < static_cast<qsizetype>(size)) return;
    const QByteArray packet = it->left(static_cast<qsizetype>(size));
    it->remove(0, static_cast<qsizetype>(size));
    const NetModuleCore::Answer answer = m_core.HandleTcp(packet);
    if (!answer.event.isEmpty()) emit event(answer.event);
    if (m_settings.fault == NetFault::Reset && !answer.reply.isEmpty()) {
      // Half the reply, then a reset instead of an orderly end.
      client->write(answer.reply.left(answer.reply.size() / 2));
      client->flush();
      const linger reset{1, 0};
      ::setsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      m_pending.erase(it);
      client->disconnect(this);
      client->abort();
      client->deleteLater();
      return;
    }
    if (!answer.reply.isEmpty()) client->write(answer.reply);
    if (answer.restart) {
      Restart();
      return;
    }
  }
}

bool ParseMac(const QString& text, std::array<std::uint8_t, 6>& mac) {
  static const QRegularExpression shape(QStringLiteral("^([0-9A-Fa-f]{2})([-:][0-9A-Fa-f]{2}){5}$"));
  if (!shape.match(text).hasMatch()) return false;
  for (std::size_t i = 0; i < mac.size(); ++i)
    mac[i] = static_cast<std::uint8_t>(text.mid(static_cast<qsizetype>(i) * 3, 2).toUInt(nullptr, 16));
  return true;
}

QString MacText(const std::array<std::uint8_t, 6>& mac) {
  return QString::asprintf("%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

}  // namespace hlx::sim
