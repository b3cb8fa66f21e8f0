#include "network/XportLib.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QNetworkInterface>
#include <QtDebug>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "link/ChannelIo.h"
#include "network/NetFields.h"

namespace hlx {

namespace {

// Whatever ends a TCP exchange before a whole reply arrived; the text is the
// connection's own message.
class LinkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

QString SystemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

[[noreturn]] void Fail(const QString& text) { throw LinkError(text.toStdString()); }

sockaddr_in SocketAddress(quint32 address, quint16 port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  return to;
}

// Waits for `events` on `fd` until `deadline` in slices, calling the hook
// between them. Returns the events that came, 0 when the time ran out.
short WaitFor(int fd, short events, const QDeadlineTimer& deadline, const WaitHook& hook) {
  for (;;) {
    const qint64 left = deadline.remainingTime();
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(qMin<qint64>(left, kWaitSliceMs)));
    if (n > 0) return p.revents;
    if (n < 0 && errno != EINTR) return POLLERR;
    if (deadline.hasExpired()) return 0;
    if (hook) hook();
  }
}

// One TCP connection to a module's configuration port, closed when it goes.
class TcpLink {
 public:
  // `ip` may also be a host name: it is resolved as the NMEA link resolves
  // its host, and each of its addresses is tried within the one limit.
  TcpLink(const QString& ip, int connectMs, const WaitHook& hook) : m_hook(hook) {
    const std::vector<quint32> addresses = ResolveIPv4(ip);
    if (addresses.empty()) Fail(QStringLiteral("%1: host not found").arg(ip));
    // QDeadlineTimer reads a negative time as "never".
    const QDeadlineTimer deadline(qMax(connectMs, 0));
    int error = ETIMEDOUT;
    for (std::size_t i = 0; i < addresses.size() && m_fd < 0; ++i) {
      error = Connect(addresses[i], deadline);
      if (error == 0) break;
      if (m_fd >= 0) ::close(m_fd);
      m_fd = -1;
      if (deadline.hasExpired()) break;
    }
    if (m_fd < 0) Fail(SystemMessage(error));
  }
  ~TcpLink() {
    if (m_fd >= 0) ::close(m_fd);
  }
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;

  void Send(const QByteArray& data) {
    const QDeadlineTimer deadline(kXportReadMs);
    for (qsizetype sent = 0; sent < data.size();) {
      const ssize_t n =
          ::send(m_fd, data.constData() + sent, static_cast<std::size_t>(data.size() - sent), MSG_NOSIGNAL);
      if (n > 0) {
        sent += n;
      } else if (errno == EAGAIN || errno == EINTR) {
        if (WaitFor(m_fd, POLLOUT, deadline, m_hook) == 0) Fail(SystemMessage(ETIMEDOUT));
      } else {
        Fail(SystemMessage(errno));
      }
    }
  }

  // Reads one reply of `expected` bytes within the read limit. What came in
  // the read that completed it is returned whole, so a longer reply shows as
  // one; a connection that ends or stays silent first is an error.
  QByteArray Read(std::size_t expected) {
    const QDeadlineTimer deadline(kXportReadMs);
    QByteArray reply;
    char buffer[2048];
    while (static_cast<std::size_t>(reply.size()) < expected) {
      const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        reply.append(buffer, n);
      } else if (n == 0) {
        Fail(QStringLiteral("Connection closed by the module"));
      } else if (errno == EAGAIN || errno == EINTR) {
        if (WaitFor(m_fd, POLLIN, deadline, m_hook) == 0) Fail(QStringLiteral("Read timed out"));
      } else {
        Fail(SystemMessage(errno));
      }
    }
    return reply;
  }

 private:
  // Connects m_fd to the module's port at `address`; 0 or the errno of the failure.
  int Connect(quint32 address, const QDeadlineTimer& deadline) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return errno;
    const sockaddr_in to = SocketAddress(address, kXportPort);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    if (errno != EINPROGRESS) return errno;
    if (WaitFor(m_fd, POLLOUT, deadline, m_hook) == 0) return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    return error;
  }

  const WaitHook& m_hook;
  int m_fd = -1;
};

// Sends `datagram` to every discovery address; true when at least one took it.
bool SendToDiscoveryAddresses(int fd, const QByteArray& datagram) {
  bool any = false;
  for (quint32 address : DiscoveryAddresses()) {
    const sockaddr_in to = SocketAddress(address, kXportPort);
    if (::sendto(fd, datagram.constData(), static_cast<std::size_t>(datagram.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to) == datagram.size())
      any = true;
    else
      qWarning("network module: cannot send to %s: %s", qPrintable(FormatDotted(address)),
               std::strerror(errno));
  }
  return any;
}

}  // namespace

QList<quint32> DiscoveryAddresses() {
  const QString listed = qEnvironmentVariable(kDiscoveryAddressVariable);
  if (listed.isEmpty()) return {kLimitedBroadcast};
  QList<quint32> addresses;
  for (const QString& text : listed.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    if (const std::optional<quint32> address = ParseDotted(text))
      addresses << *address;
    else
      qWarning("%s: \"%s\" is not an IPv4 address", kDiscoveryAddressVariable, qPrintable(text));
  }
  return addresses;
}

QStringList GetLocalAddresses() {
  const QString listed = qEnvironmentVariable(kHostAddressesVariable);
  if (!listed.isEmpty()) return listed.split(QLatin1Char(':'), Qt::SkipEmptyParts);
  QStringList addresses;
  for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
    const auto flags = nic.flags();
    if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack)) continue;
    for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
      const QHostAddress ip = entry.ip();
      if (ip.protocol() != QAbstractSocket::IPv4Protocol || ip.isLoopback()) continue;
      if (!addresses.contains(ip.toString())) addresses << ip.toString();
    }
  }
  return addresses;
}

TXPort::TXPort(WaitHook hook) : m_hook(std::move(hook)) {
  m_udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  if (m_udp < 0 || ::setsockopt(m_udp, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
    qWarning("network module: no UDP socket: %s", std::strerror(errno));
}

TXPort::~TXPort() {
  if (m_udp >= 0) ::close(m_udp);
}

void TXPort::Pause(int ms) const {
  const QDeadlineTimer deadline(qMax(ms, 0));
  while (!deadline.hasExpired()) {
    ::poll(nullptr, 0, static_cast<int>(qMin<qint64>(deadline.remainingTime(), kWaitSliceMs)));
    if (m_hook && !deadline.hasExpired()) m_hook();
  }
}

int TXPort::Search() {
  m_results.clear();
  if (m_udp < 0) return 0;
  char buffer[2048];
  // Late replies to an earlier search are not this search's.
  while (::recv(m_udp, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
  }
  if (!SendToDiscoveryAddresses(m_udp, DiscoveryQuery())) return 0;
  for (int datagrams = 0; datagrams < kMaxDiscoveryDatagrams; ++datagrams) {
    if (WaitFor(m_udp, POLLIN, QDeadlineTimer(kDiscoveryWaitMs), m_hook) == 0) break;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    // MSG_TRUNC: the datagram's real size, even when it is longer than the buffer.
    const ssize_t n =
        ::recvfrom(m_udp, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) continue;  // an ICMP error reported late, say: not a reply
    const QByteArrayView datagram(buffer, qMin<qsizetype>(n, qsizetype(sizeof buffer)));
    if (n != datagram.size() || ClassifyDiscoveryReply(datagram) == DiscoveryVerdict::End) break;
    if (const std::optional<MacAddress> mac = DiscoveryReplyMac(datagram)) {
      const QString entry = DiscoveryEntry(FormatDotted(ntohl(from.sin_addr.s_addr)), *mac);
      // A module that hears the query twice is one module.
      if (!m_results.contains(entry)) m_results << entry;
    }
  }
  return static_cast<int>(m_results.size());
}

bool TXPort::GetSetup(const QString& ip, SetupBlock& block) {
  try {
    TcpLink link(ip, kXportConnectMs, m_hook);
    link.Send(ReadSetupQuery());
    const std::optional<SetupBlock> read = ParseSetupReply(link.Read(kSetupBlockSize));
    if (!read) return false;
    block = *read;
    return true;
  } catch (const LinkError&) {
    return false;
  }
}

bool TXPort::SetSetup(const QString& ip, const SetupBlock& block, bool addressChanged) {
  try {
    TcpLink link(ip, kXportConnectMs, m_hook);
    link.Send(WriteSetupPacket(block, addressChanged));
    return IsAcknowledgement(link.Read(kQuerySize), kCodeSetupAccepted);
  } catch (const LinkError&) {
    return false;
  }
}

bool TXPort::FactoryReset(const QString& ip) {
  try {
    TcpLink link(ip, kXportConnectMs, m_hook);
    link.Send(ResetFirstPacket());
    if (!IsAcknowledgement(link.Read(kQuerySize), kCodeResetFirstAccepted)) return false;
    Pause(kResetPauseMs);
    link.Send(WriteSetupPacket(DefaultBlock(), true));
    return IsAcknowledgement(link.Read(kQuerySize), kCodeSetupAccepted);
  } catch (const LinkError& e) {
    throw ESocketError(e.what());
  }
}

bool TXPort::SendIPSetup(const QByteArray& packet) {
  return m_udp >= 0 && SendToDiscoveryAddresses(m_udp, packet);
}

bool TXPort::CheckConnection(const QString& ip, int timeoutMs) {
  try {
    TcpLink link(ip, timeoutMs, m_hook);
    return true;
  } catch (const LinkError&) {
    return false;
  }
}

}  // namespace hlx
