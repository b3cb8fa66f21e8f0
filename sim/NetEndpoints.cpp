#include "NetEndpoints.h"

#include <sys/socket.h>
#include <QNetworkDatagram>
#include <QTcpSocket>

namespace hlx::sim {

namespace {

// Keeps datagrams below a typical Ethernet payload; lines are never split.
constexpr qsizetype kMaxDatagram = 1400;

}  // namespace

UdpEndpoint::UdpEndpoint(LineHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
  connect(&m_socket, &QUdpSocket::readyRead, this, &UdpEndpoint::OnReadyRead);
}

bool UdpEndpoint::Open(const QHostAddress& address, quint16 port, const QHostAddress& peer, quint16 peerPort,
                       QString& error) {
  // Shared binding: the program's own receiver on 0.0.0.0 uses the same port.
  if (!m_socket.bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
    error = QStringLiteral("UDP bind: ") + m_socket.errorString();
    return false;
  }
  m_peer = peer;
  m_peerPort = peerPort;
  return true;
}

void UdpEndpoint::OnReadyRead() {
  while (m_socket.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = m_socket.receiveDatagram();
    const QByteArray data = datagram.data();
    std::vector<std::string> lines;
    m_lines.Feed(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), lines);
    for (const std::string& line : lines) {
      const std::vector<std::string> replies = m_handler(line);
      if (!replies.empty()) Send(JoinLines(replies));
    }
  }
}

void UdpEndpoint::Broadcast(const QByteArray& data) { Send(data); }

void UdpEndpoint::Send(const QByteArray& data) {
  qsizetype start = 0;
  while (start < data.size()) {
    qsizetype end = start;
    // Whole lines up to the datagram size (a single longer line goes alone).
    for (;;) {
      const qsizetype lf = data.indexOf('\n', end);
      const qsizetype next = lf < 0 ? data.size() : lf + 1;
      if (end > start && next - start > kMaxDatagram) break;
      end = next;
      if (end >= data.size()) break;
    }
    // A refused or unreachable peer is not the device's problem.
    m_socket.writeDatagram(data.constData() + start, end - start, m_peer, m_peerPort);
    start = end;
  }
}

TcpEndpoint::TcpEndpoint(LineHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
  connect(&m_server, &QTcpServer::newConnection, this, &TcpEndpoint::OnNewConnection);
}

TcpEndpoint::~TcpEndpoint() {
  // The server owns the client sockets and deletes them after our members
  // are gone; a socket that closes then reports its disconnection. Cut those
  // connections first so nothing reaches the destroyed client table.
  for (QTcpSocket* client : m_server.findChildren<QTcpSocket*>()) client->disconnect(this);
}

bool TcpEndpoint::Open(const QHostAddress& address, quint16 port, QString& error) {
  if (!m_server.listen(address, port)) {
    error = QStringLiteral("TCP listen: ") + m_server.errorString();
    return false;
  }
  return true;
}

void TcpEndpoint::OnNewConnection() {
  while (QTcpSocket* client = m_server.nextPendingConnection()) {
    m_clients.insert(client, LineAssembler{});
    connect(client, &QTcpSocket::readyRead, this, [this, client] { OnReadyRead(client); });
    connect(client, &QTcpSocket::disconnected, this, [this, client] {
      m_clients.remove(client);
      client->deleteLater();
    });
  }
}

void TcpEndpoint::OnReadyRead(QTcpSocket* client) {
  auto it = m_clients.find(client);
  if (it == m_clients.end()) return;
  const QByteArray data = client->readAll();
  if (m_sink) {
    m_sink(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
    return;
  }
  std::vector<std::string> lines;
  it->Feed(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), lines);
  for (const std::string& line : lines) {
    const std::vector<std::string> replies = m_handler(line);
    if (!replies.empty()) client->write(JoinLines(replies));
  }
}

void TcpEndpoint::Broadcast(const QByteArray& data) {
  for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
    QTcpSocket* client = it.key();
    if (client->state() == QAbstractSocket::ConnectedState && client->bytesToWrite() < kMaxPendingOutput)
      client->write(data);
  }
}

void TcpEndpoint::SendAll(const QByteArray& data) {
  for (auto it = m_clients.begin(); it != m_clients.end(); ++it)
    if (it.key()->state() == QAbstractSocket::ConnectedState) it.key()->write(data);
}

void TcpEndpoint::SetByteSink(ByteSink sink) {
  m_sink = std::move(sink);
  for (LineAssembler& lines : m_clients) lines.Reset();
}

qint64 TcpEndpoint::MaxPending() const {
  qint64 most = 0;
  for (auto it = m_clients.begin(); it != m_clients.end(); ++it)
    most = std::max(most, it.key()->bytesToWrite());
  return most;
}

void TcpEndpoint::ResetClients() {
  const QList<QTcpSocket*> clients = m_clients.keys();
  m_clients.clear();
  for (QTcpSocket* client : clients) {
    client->disconnect(this);
    // No lingering: the close sends a reset instead of an orderly end.
    const linger reset{1, 0};
    ::setsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    client->abort();
    client->deleteLater();
  }
}

}  // namespace hlx::sim
