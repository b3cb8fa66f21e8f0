#include "WirelessModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpSocket>

#include "SimSentence.h"

namespace hlx::sim {

namespace {

constexpr int kStepLimitMs = 10000;  // a server that stops answering ends the update
constexpr char kUpdateAddress[] = "PQVXWI";
constexpr char kUpdateOrder[] = "U";
constexpr char kReady[] = "PQVXWI,RDY";

}  // namespace

WirelessModule::WirelessModule(const WirelessSettings& settings, QObject* parent)
    : QObject(parent), m_settings(settings) {
  m_limit.setSingleShot(true);
  m_limit.setInterval(kStepLimitMs);
  connect(&m_limit, &QTimer::timeout, this, [this] { Fail(QStringLiteral("server silent")); });
}

WirelessModule::~WirelessModule() = default;

bool WirelessModule::HandleLine(const std::string& line) {
  const std::vector<std::string> f = SentenceFields(line);
  if (!ChecksumAcceptable(line) || f.size() < 2 || f[0] != kUpdateAddress || f[1] != kUpdateOrder)
    return false;
  if (m_busy) {
    emit event(QStringLiteral("busy, order ignored"));
    return true;
  }
  const QString name = f.size() > 2 ? QString::fromStdString(f[2]) : QString();
  const QHostAddress host(f.size() > 3 ? QString::fromStdString(f[3]) : QString());
  m_busy = true;
  // Only loopback hosts: the simulator never reaches into a real network.
  if (name.isEmpty() || host.isNull() || !host.isLoopback()) {
    Fail(QStringLiteral("bad order %1").arg(QString::fromStdString(line).trimmed()));
    return true;
  }
  Fetch(name, host);
  return true;
}

void WirelessModule::Fetch(const QString& name, const QHostAddress& host) {
  m_name = name;
  m_host = host;
  m_in.clear();
  m_data.clear();
  m_transferDone = m_dataClosed = false;
  m_step = Step::Greeting;
  m_control = new QTcpSocket(this);
  connect(m_control, &QTcpSocket::readyRead, this, &WirelessModule::OnControl);
  connect(m_control, &QTcpSocket::errorOccurred, this, [this] {
    if (m_step != Step::Quit) Fail(QStringLiteral("control connection: ") + m_control->errorString());
  });
  emit event(QStringLiteral("fetch %1 from %2:%3").arg(name, host.toString()).arg(m_settings.ftpPort));
  m_limit.start();
  m_control->connectToHost(host, m_settings.ftpPort);
}

void WirelessModule::Send(const QByteArray& command) {
  m_limit.start();
  m_control->write(command + "\r\n");
}

void WirelessModule::OnControl() {
  m_in += m_control->readAll();
  qsizetype end = 0;
  while (m_control && (end = m_in.indexOf('\n')) >= 0) {
    const QByteArray line = m_in.left(end).trimmed();
    m_in.remove(0, end + 1);
    // Only the last line of a multi-line reply ("code-" ... "code ") counts.
    if (line.size() < 3 || (line.size() > 3 && line[3] == '-')) continue;
    bool ok = false;
    const int code = line.left(3).toInt(&ok);
    if (!ok) return Fail(QStringLiteral("garbled reply: ") + QString::fromLatin1(line));
    OnReply(code, line);
  }
}

void WirelessModule::OnReply(int code, const QByteArray& text) {
  const auto expect = [&](int wanted) {
    if (code == wanted) return true;
    Fail(QStringLiteral("unexpected reply: ") + QString::fromLatin1(text));
    return false;
  };
  switch (m_step) {
    case Step::Greeting:
      if (!expect(220)) return;
      m_step = Step::User;
      return Send("USER anonymous");
    case Step::User:
      if (code == 230) {
        m_step = Step::Type;
        return Send("TYPE I");
      }
      if (!expect(331)) return;
      m_step = Step::Pass;
      return Send("PASS wifi@module");
    case Step::Pass:
      if (!expect(230)) return;
      m_step = Step::Type;
      return Send("TYPE I");
    case Step::Type:
      if (!expect(200)) return;
      m_step = Step::Passive;
      return Send("PASV");
    case Step::Passive:
      if (!expect(227)) return;
      return OpenData(text);
    case Step::Retrieve:
      if (code == 125 || code == 150) {
        m_step = Step::Transfer;
        return;
      }
      return Fail(QStringLiteral("refused: ") + QString::fromLatin1(text));
    case Step::Transfer:
      if (!expect(226)) return;
      m_transferDone = true;
      return MaybeDone();
    case Step::Quit: return;
  }
}

void WirelessModule::OpenData(const QByteArray& reply) {
  static const QRegularExpression numbers(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
  const QRegularExpressionMatch m = numbers.match(QString::fromLatin1(reply));
  if (!m.hasMatch()) return Fail(QStringLiteral("no passive address: ") + QString::fromLatin1(reply));
  const QHostAddress address(m.captured(1) + '.' + m.captured(2) + '.' + m.captured(3) + '.' + m.captured(4));
  const auto port = static_cast<quint16>(m.captured(5).toUInt() * 256 + m.captured(6).toUInt());
  if (!address.isLoopback()) return Fail(QStringLiteral("passive address not on loopback"));
  m_dataSocket = new QTcpSocket(this);
  connect(m_dataSocket, &QTcpSocket::readyRead, this, [this] {
    m_limit.start();
    m_data += m_dataSocket->readAll();
  });
  connect(m_dataSocket, &QTcpSocket::disconnected, this, [this] {
    m_data += m_dataSocket->readAll();
    m_dataClosed = true;
    MaybeDone();
  });
  connect(m_dataSocket, &QTcpSocket::connected, this, [this] {
    m_step = Step::Retrieve;
    Send("RETR " + m_name.toUtf8());
  });
  connect(m_dataSocket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
    if (e != QAbstractSocket::RemoteHostClosedError)
      Fail(QStringLiteral("data connection: ") + m_dataSocket->errorString());
  });
  m_dataSocket->connectToHost(address, port);
}

void WirelessModule::MaybeDone() {
  if (!m_transferDone || !m_dataClosed) return;
  m_step = Step::Quit;
  m_control->write("QUIT\r\n");
  m_control->disconnectFromHost();
  QString where = QStringLiteral("in memory");
  if (!m_settings.storeDir.isEmpty()) {
    QFile file(QDir(m_settings.storeDir).filePath(QFileInfo(m_name).fileName()));
    where = file.fileName();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(m_data) != m_data.size())
      where = QStringLiteral("nowhere (") + file.errorString() + ')';
  }
  emit event(QStringLiteral("received %1 bytes, kept %2").arg(m_data.size()).arg(where));
  End();
}

void WirelessModule::Fail(const QString& why) {
  if (!m_busy) return;
  emit event(QStringLiteral("failed: ") + why);
  for (QTcpSocket* s : {m_control, m_dataSocket})
    if (s) {
      s->disconnect(this);
      s->abort();
    }
  End();
}

void WirelessModule::End() {
  m_limit.stop();
  m_busy = false;
  // Not from inside their own signals.
  for (QTcpSocket* s : {m_control, m_dataSocket})
    if (s) {
      s->disconnect(this);
      s->deleteLater();
    }
  m_control = m_dataSocket = nullptr;
  emit finished(QByteArray::fromStdString(WireSentence(kReady)));
}

}  // namespace hlx::sim
