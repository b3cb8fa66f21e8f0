#include "firmware/FtpServer.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <optional>
#include <set>
#include <utility>

#include "firmware/FtpProtocol.h"

namespace hlx {

namespace {

constexpr qint64 kChunk = 64 * 1024;
// Commands a client may queue while a transfer runs before it is dropped.
constexpr qsizetype kMaxQueued = 4 * kFtpMaxLine;
// Replies a client may leave unread before its commands are left unread too:
// what the server holds for a client that sends without reading stays
// bounded, and TCP makes that client wait.
constexpr qint64 kMaxUnreadReplies = 16 * 1024;
constexpr int kCloseGraceMs = 2000;
constexpr quint16 kLowestActivePort = 1024;

const char* const kGreeting = "220 HLX-Config FTP Server ready";
const char* const kUnknown = "500 Syntax error, command unrecognized.";
const char* const kReadOnly = "550 Permission denied: this server is read-only.";
const char* const kNotLoggedIn = "530 Please login with USER and PASS.";
const char* const kBadArguments = "501 Syntax error in parameters or arguments.";
const char* const kNoFile = "550 Failed to open file.";
const char* const kNoDataSetUp = "425 Use PORT or PASV first.";

// One client: its control connection, its data connection and a download.
class Session : public QObject {
 public:
  Session(QTcpSocket* control, const FtpLimits& limits, std::shared_ptr<FtpRootFolder> root,
          std::function<void(Session*)> finished, QObject* parent)
      : QObject(parent),
        m_control(control),
        m_limits(limits),
        m_root(std::move(root)),
        m_finished(std::move(finished)) {
    m_control->setParent(this);
    // Unread commands wait in the kernel, not here.
    m_control->setReadBufferSize(kMaxQueued);
    m_idle.setSingleShot(true);
    m_idle.setInterval(m_limits.idleMs);
    connect(&m_idle, &QTimer::timeout, this, [this] { Close("421 Timeout: closing control connection."); });
    connect(m_control, &QTcpSocket::readyRead, this, [this] { ProcessInput(); });
    // Only replies that leave count as progress: a client that sends without
    // reading them is idle, however much it sends.
    connect(m_control, &QTcpSocket::bytesWritten, this, [this] {
      m_idle.start();
      ProcessInput();
    });
    connect(m_control, &QTcpSocket::disconnected, this, [this] { Finish(); });
    Reply(kGreeting);
    m_idle.start();
  }

  void Abort() {
    EndData();
    m_control->abort();
  }

 private:
  void Reply(const QByteArray& text) { m_control->write(text + "\r\n"); }

  void Close(const char* reply) {
    if (m_closing) return;
    m_closing = true;
    EndData();
    m_idle.stop();
    if (reply) Reply(reply);
    m_control->disconnectFromHost();
    // A client that reads nothing any more cannot hold the session open.
    QTimer::singleShot(kCloseGraceMs, this, [this] { m_control->abort(); });
  }

  void Finish() {
    if (m_done) return;
    m_done = true;
    EndData();
    m_idle.stop();
    m_finished(this);
  }

  void ProcessInput() {
    while (!m_closing) {
      if (m_transferring) {
        m_in += m_control->readAll();
        if (m_in.size() > kMaxQueued) Close("500 Too many commands during a transfer.");
        return;
      }
      // Resumed by bytesWritten once the client reads again.
      if (m_control->bytesToWrite() > kMaxUnreadReplies) return;
      qsizetype end = m_in.indexOf('\n');
      if (end < 0 && m_in.size() <= kFtpMaxLine) {
        m_in += m_control->read(kFtpMaxLine + 1 - m_in.size());
        end = m_in.indexOf('\n');
      }
      if (end < 0) {
        if (m_in.size() > kFtpMaxLine) Close("500 Command line too long.");
        return;
      }
      if (end + 1 > kFtpMaxLine) {
        Close("500 Command line too long.");
        return;
      }
      QByteArray line = m_in.left(end);
      m_in.remove(0, end + 1);
      if (line.endsWith('\r')) line.chop(1);
      Handle(ParseFtpCommand(line));
    }
  }

  void Handle(const FtpCommand& c) {
    const QByteArray& v = c.verb;
    if (IsFtpWriteVerb(v)) return Reply(kReadOnly);
    if (v == "QUIT") return Close("221 Goodbye.");
    if (v == "NOOP") return Reply("200 NOOP ok.");
    if (v == "USER") {
      m_userGiven = true;
      m_loggedIn = false;
      return Reply("331 User name okay, need password.");
    }
    if (v == "PASS") {
      if (!m_userGiven) return Reply("503 Login with USER first.");
      m_loggedIn = true;
      return Reply("230 User logged in, proceed.");
    }
    if (v == "SYST") return Reply("215 WIN32");
    static const std::set<QByteArray> kKnown = {"TYPE", "MODE", "STRU", "PWD",  "XPWD",
                                                "CWD",  "XCWD", "CDUP", "XCUP", "PASV",
                                                "EPSV", "PORT", "EPRT", "SIZE", "RETR"};
    if (!kKnown.count(v)) return Reply(kUnknown);
    if (!m_loggedIn) return Reply(kNotLoggedIn);
    const QByteArray arg = c.argument.toUpper();
    if (v == "TYPE") {
      // Either way the bytes go out unchanged: an image must arrive as it is.
      const bool binary = arg == "I" || arg == "L 8";
      if (!binary && arg != "A" && arg != "A N")
        return Reply("504 Command not implemented for that parameter.");
      m_binary = binary;
      return Reply(binary ? "200 Type set to I." : "200 Type set to A.");
    }
    if (v == "MODE") return Reply(arg == "S" ? "200 Mode set to S." : "504 Only stream mode is supported.");
    if (v == "STRU")
      return Reply(arg == "F" ? "200 Structure set to F." : "504 Only file structure is supported.");
    if (v == "PWD" || v == "XPWD") return Reply("257 \"/\" is the current directory.");
    // Every directory is the one folder: the client stays at "/" and may go on.
    if (v == "CWD" || v == "XCWD" || v == "CDUP" || v == "XCUP") return Reply("250 Directory changed to /.");
    if (v == "PASV") return Passive(false, arg);
    if (v == "EPSV") return Passive(true, arg);
    if (v == "PORT" || v == "EPRT") return Active(v == "EPRT", c.argument);
    if (v == "SIZE") {
      const std::optional<QString> path = ResolveServedFile(m_root->Get(), c.argument);
      if (!path) return Reply("550 Could not get file size.");
      return Reply("213 " + QByteArray::number(QFileInfo(*path).size()));
    }
    Retrieve(c.argument);
  }

  void Passive(bool extended, const QByteArray& arg) {
    if (extended && arg == "ALL") return Reply("200 EPSV ALL ok.");
    if (extended && !arg.isEmpty() && arg != "1")
      return Reply("522 Network protocol not supported, use (1).");
    EndData();
    m_passive = new QTcpServer(this);
    m_passive->setMaxPendingConnections(1);
    const QHostAddress local = m_control->localAddress();
    if (local.protocol() != QAbstractSocket::IPv4Protocol || !m_passive->listen(local, 0)) {
      EndData();
      return Reply("425 Can't open passive connection.");
    }
    connect(m_passive, &QTcpServer::newConnection, this, [this] { AcceptData(); });
    const quint16 port = m_passive->serverPort();
    if (extended) return Reply("229 Entering Extended Passive Mode (|||" + QByteArray::number(port) + "|).");
    const quint32 a = local.toIPv4Address();
    Reply(QStringLiteral("227 Entering Passive Mode (%1,%2,%3,%4,%5,%6).")
              .arg(a >> 24)
              .arg(a >> 16 & 0xFF)
              .arg(a >> 8 & 0xFF)
              .arg(a & 0xFF)
              .arg(port >> 8)
              .arg(port & 0xFF)
              .toLatin1());
  }

  void AcceptData() {
    while (QTcpSocket* socket = m_passive ? m_passive->nextPendingConnection() : nullptr) {
      // Only the client itself may fetch: a stranger who guessed the port gets nothing.
      if (m_data || socket->peerAddress() != m_control->peerAddress()) {
        socket->abort();
        socket->deleteLater();
        continue;
      }
      TakeData(socket);
      m_passive->close();
      if (m_transferring) Pump();
    }
  }

  void Active(bool extended, const QByteArray& argument) {
    const std::optional<FtpHostPort> target =
        extended ? ParseEprtArgument(argument) : ParsePortArgument(argument);
    if (!target) return Reply(kBadArguments);
    // No data sent to a third host, nor to a privileged port of the client.
    if (target->address != m_control->peerAddress() || target->port < kLowestActivePort)
      return Reply(extended ? "500 Illegal EPRT command." : "500 Illegal PORT command.");
    EndData();
    m_activeTarget = *target;
    Reply(extended ? "200 EPRT command successful." : "200 PORT command successful.");
  }

  void Retrieve(const QByteArray& argument) {
    if (!m_passive && !m_data && !m_activeTarget) return Reply(kNoDataSetUp);
    const std::optional<QString> path = ResolveServedFile(m_root->Get(), argument);
    m_file.setFileName(path.value_or(QString()));
    if (!path || !m_file.open(QIODevice::ReadOnly)) {
      EndData();
      return Reply(kNoFile);
    }
    m_transferring = true;
    m_eof = false;
    Reply(QByteArray("150 Opening ") + (m_binary ? "BINARY" : "ASCII") + " mode data connection (" +
          QByteArray::number(m_file.size()) + " bytes).");
    if (m_activeTarget) {
      auto* socket = new QTcpSocket(this);
      socket->bind(m_control->localAddress());
      TakeData(socket);
      connect(socket, &QTcpSocket::connected, this, [this] { Pump(); });
      socket->connectToHost(m_activeTarget->address, m_activeTarget->port);
      m_activeTarget.reset();
    } else if (m_data) {
      Pump();
    }
  }

  void TakeData(QTcpSocket* socket) {
    m_data = socket;
    socket->setParent(this);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
      m_idle.start();
      Pump();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] { DataClosed(); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
      if (e != QAbstractSocket::RemoteHostClosedError) DataClosed();
    });
  }

  void Pump() {
    if (!m_transferring || !m_data || m_data->state() != QAbstractSocket::ConnectedState || m_eof) return;
    while (m_data->bytesToWrite() < 2 * kChunk) {
      const QByteArray chunk = m_file.read(kChunk);
      if (chunk.isEmpty()) {
        m_eof = true;
        m_file.close();
        m_data->disconnectFromHost();  // after what is still buffered
        return;
      }
      m_data->write(chunk);
    }
  }

  void DataClosed() {
    // A connection that went before its RETR is of no use to one.
    if (!m_transferring) return EndData();
    const bool complete = m_eof && m_data && m_data->bytesToWrite() == 0;
    m_transferring = false;
    EndData();
    Reply(complete ? "226 Transfer complete." : "426 Connection closed; transfer aborted.");
    m_idle.start();
    QTimer::singleShot(0, this, [this] { ProcessInput(); });
  }

  void EndData() {
    if (m_passive) {
      m_passive->close();
      m_passive->deleteLater();
      m_passive = nullptr;
    }
    if (m_data) {
      m_data->disconnect(this);
      m_data->abort();
      m_data->deleteLater();
      m_data = nullptr;
    }
    m_activeTarget.reset();
    m_file.close();
  }

  QTcpSocket* m_control;
  FtpLimits m_limits;
  std::shared_ptr<FtpRootFolder> m_root;
  std::function<void(Session*)> m_finished;
  QTimer m_idle;
  QByteArray m_in;
  bool m_userGiven = false;
  bool m_loggedIn = false;
  bool m_binary = false;  // RFC 959: ASCII until TYPE says otherwise
  bool m_closing = false;
  bool m_done = false;
  QTcpServer* m_passive = nullptr;
  QTcpSocket* m_data = nullptr;
  std::optional<FtpHostPort> m_activeTarget;
  QFile m_file;
  bool m_transferring = false;
  bool m_eof = false;
};

}  // namespace

class FtpServer::Engine : public QObject {
 public:
  Engine(const FtpLimits& limits, std::shared_ptr<FtpRootFolder> root)
      : m_limits(limits), m_root(std::move(root)) {}

  bool Listen(const QHostAddress& address, quint16 port, QAbstractSocket::SocketError& error, QString& text,
              quint16& bound) {
    m_listener = new QTcpServer(this);
    if (!m_listener->listen(address, port)) {
      error = m_listener->serverError();
      text = m_listener->errorString();
      return false;
    }
    bound = m_listener->serverPort();
    connect(m_listener, &QTcpServer::newConnection, this, [this] { Accept(); });
    return true;
  }

  void Close() {
    if (m_listener) m_listener->close();
    // Aborting a session reports it finished; it is deleted here instead.
    const std::set<Session*> sessions = std::exchange(m_sessions, {});
    for (Session* s : sessions) {
      s->Abort();
      delete s;
    }
  }

 private:
  void Accept() {
    while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
      if (static_cast<int>(m_sessions.size()) >= m_limits.maxClients) {
        socket->write("421 Too many connections, try again later.\r\n");
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kCloseGraceMs, socket, [socket] { socket->abort(); });
        continue;
      }
      m_sessions.insert(new Session(
          socket, m_limits, m_root,
          [this](Session* s) {
            if (m_sessions.erase(s)) s->deleteLater();
          },
          this));
    }
  }

  FtpLimits m_limits;
  std::shared_ptr<FtpRootFolder> m_root;
  QTcpServer* m_listener = nullptr;
  std::set<Session*> m_sessions;
};

FtpServer::FtpServer() = default;

FtpServer::~FtpServer() { Stop(); }

bool FtpServer::Start(const QHostAddress& address, quint16 port, QAbstractSocket::SocketError* error,
                      QString* errorText) {
  Stop();
  m_thread = std::make_unique<QThread>();
  m_thread->setObjectName(QStringLiteral("ftp server"));
  auto* engine = new Engine(m_limits, m_root);
  engine->moveToThread(m_thread.get());
  QObject::connect(m_thread.get(), &QThread::finished, engine, &QObject::deleteLater);
  m_thread->start();
  bool ok = false;
  QAbstractSocket::SocketError code = QAbstractSocket::UnknownSocketError;
  QString text;
  quint16 bound = 0;
  QMetaObject::invokeMethod(
      engine, [&] { ok = engine->Listen(address, port, code, text, bound); }, Qt::BlockingQueuedConnection);
  if (!ok) {
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
    if (error) *error = code;
    if (errorText) *errorText = text;
    return false;
  }
  m_engine = engine;
  m_address = address;
  m_port = bound;
  return true;
}

void FtpServer::Stop() {
  if (!m_thread) return;
  if (m_engine)
    QMetaObject::invokeMethod(
        m_engine, [engine = m_engine] { engine->Close(); }, Qt::BlockingQueuedConnection);
  m_engine = nullptr;
  m_thread->quit();
  m_thread->wait();
  m_thread.reset();
  m_port = 0;
}

}  // namespace hlx
