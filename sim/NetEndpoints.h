#pragma once
// The network model's host port: UDP (commands in on ADDRESS:PORT, replies
// and traffic out to a fixed peer) and TCP (any number of clients; each gets
// the replies to its own commands and all live traffic).

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QUdpSocket>

#include "LineAssembler.h"
#include "SimEndpoint.h"

class QTcpSocket;

namespace hlx::sim {

class UdpEndpoint : public QObject {
  Q_OBJECT
 public:
  UdpEndpoint(LineHandler handler, QObject* parent = nullptr);
  bool Open(const QHostAddress& address, quint16 port, const QHostAddress& peer, quint16 peerPort,
            QString& error);
  quint16 Port() const { return m_socket.localPort(); }
  void Broadcast(const QByteArray& data);

 private:
  void OnReadyRead();
  void Send(const QByteArray& data);

  LineHandler m_handler;
  QUdpSocket m_socket;
  QHostAddress m_peer;
  quint16 m_peerPort = 0;
  LineAssembler m_lines;
};

class TcpEndpoint : public QObject {
  Q_OBJECT
 public:
  TcpEndpoint(LineHandler handler, QObject* parent = nullptr);
  ~TcpEndpoint() override;
  bool Open(const QHostAddress& address, quint16 port, QString& error);
  quint16 Port() const { return m_server.serverPort(); }
  void Broadcast(const QByteArray& data);
  // To every client, however far behind (replies and announcements).
  void SendAll(const QByteArray& data);
  // A sink takes every client's bytes instead of the line handler; null: lines.
  void SetByteSink(ByteSink sink);
  int ClientCount() const { return static_cast<int>(m_clients.size()); }
  // Bytes waiting for the slowest client.
  qint64 MaxPending() const;
  // Ends every connection with a reset, as a device that loses power does;
  // the server keeps listening for new ones.
  void ResetClients();

 private:
  void OnNewConnection();
  void OnReadyRead(QTcpSocket* client);

  LineHandler m_handler;
  ByteSink m_sink;
  QTcpServer m_server;
  QHash<QTcpSocket*, LineAssembler> m_clients;
};

}  // namespace hlx::sim
