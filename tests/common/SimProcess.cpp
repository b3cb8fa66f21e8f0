#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

#include "link/Nmeadefs.h"

#ifndef HLX_SIM_PATH
#define HLX_SIM_PATH "hlx-sim"
#endif

namespace hlx::test {

namespace {

QString SimExecutable() {
  const QByteArray env = qgetenv("HLX_SIM_PATH");
  return env.isEmpty() ? QStringLiteral(HLX_SIM_PATH) : QString::fromLocal8Bit(env);
}

// "tcp 127.0.0.2:10110" -> address and port.
bool ParseEndpoint(QByteArray rest, QString& address, quint16& port) {
  rest = rest.trimmed();
  if (const int space = rest.indexOf(' '); space > 0) rest.truncate(space);  // "udp A:P -> peer"
  const int colon = rest.lastIndexOf(':');
  if (colon <= 0) return false;
  bool ok = false;
  const uint p = rest.mid(colon + 1).trimmed().toUInt(&ok);
  if (!ok || p > 65535) return false;
  address = QString::fromLatin1(rest.left(colon).trimmed());
  port = static_cast<quint16>(p);
  return true;
}

bool ConnectTo(QTcpSocket& socket, const QString& address, quint16 port) {
  socket.connectToHost(address, port);
  return socket.waitForConnected(3000);
}

}  // namespace

SimProcess::SimProcess(bool withPty, bool withRecord) {
  if (withPty) m_ptyPath = m_dir.filePath(QStringLiteral("pty"));
  if (withRecord) m_recordPath = m_dir.filePath(QStringLiteral("record.txt"));
  // Diagnostics go straight to the test's own stderr so a chatty simulator
  // can never block on a full pipe.
  m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const QStringList& args, int timeoutMs) {
  if (!m_dir.isValid()) {
    m_error = QStringLiteral("no temporary folder");
    return false;
  }
  QStringList all;
  if (!m_ptyPath.isEmpty()) all << QStringLiteral("--pty") << m_ptyPath;
  if (!m_recordPath.isEmpty()) all << QStringLiteral("--record") << m_recordPath;
  // Lets test runs that share a machine keep out of each other's way.
  if (const QByteArray address = qgetenv("HLX_TEST_SIM_ADDRESS"); !address.isEmpty())
    all << QStringLiteral("--address") << QString::fromLatin1(address);
  all << args;
  m_output.clear();
  m_process.start(SimExecutable(), all);
  if (!m_process.waitForStarted(timeoutMs)) {
    m_error = QStringLiteral("hlx-sim did not start: ") + m_process.errorString();
    return false;
  }
  QDeadlineTimer deadline(timeoutMs);
  bool ready = false;
  while (!ready && !deadline.hasExpired()) {
    if (!m_process.canReadLine() && !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      if (m_process.state() != QProcess::Running) break;
      continue;
    }
    while (m_process.canReadLine()) {
      const QByteArray line = m_process.readLine();
      m_output += line;
      const QByteArray text = line.trimmed();
      if (text == "ready") {
        ready = true;
        break;
      }
      if (text.startsWith("tcp ")) ParseEndpoint(text.mid(4), m_address, m_tcpPort);
      if (text.startsWith("udp ")) {
        QString ignored;
        ParseEndpoint(text.mid(4), ignored, m_udpPort);
      }
    }
  }
  if (!ready) {
    m_error = QStringLiteral("hlx-sim not ready; output: ") + QString::fromLocal8Bit(m_output);
    stop();
    return false;
  }
  return true;
}

void SimProcess::stop() {
  if (m_process.state() == QProcess::NotRunning) return;
  // SIGTERM first so the simulator removes its pty link; kill if it hangs.
  m_process.terminate();
  if (!m_process.waitForFinished(3000)) {
    m_process.kill();
    m_process.waitForFinished(3000);
    return;
  }
  // A clean shutdown exits with 0; anything else (a sanitizer report, say)
  // is a fault of the simulator that no test may pass over.
  if (m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() != 0)
    qFatal("hlx-sim exited with code %d on SIGTERM (its error output is above)", m_process.exitCode());
}

bool SimProcess::isRunning() const { return m_process.state() == QProcess::Running; }

QStringList SimProcess::recordedLines() const {
  QStringList lines;
  QFile file(m_recordPath);
  if (m_recordPath.isEmpty() || !file.open(QIODevice::ReadOnly)) return lines;
  const QList<QByteArray> raw = file.readAll().split('\n');
  for (const QByteArray& line : raw) {
    if (line.isEmpty() || !line.contains('*')) continue;
    lines << QString::fromLatin1(line);
  }
  return lines;
}

QStringList SimProcess::queryConfig(int timeoutMs) const {
  QTcpSocket socket;
  if (!ConnectTo(socket, m_address, m_tcpPort)) return {};
  socket.write("$PQVXCFQ\r\n");
  socket.waitForBytesWritten(1000);
  QStringList replies;
  QDeadlineTimer deadline(timeoutMs);
  while (!deadline.hasExpired()) {
    if (!socket.canReadLine() && !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      if (socket.state() != QAbstractSocket::ConnectedState) break;
      continue;
    }
    while (socket.canReadLine()) {
      const QByteArray line = socket.readLine();
      const std::string text = line.toStdString();
      std::string address;
      std::string kind;
      if (ExtractField(text, 0, address) < 0 || ExtractField(text, 1, kind) < 0 || kind != "R") continue;
      const int sid = LookupSentence(address);
      if (sid < SidCF || sid == SidWI || sid > SidIN) continue;
      replies << QString::fromLatin1(line.trimmed());
      std::string name;
      if (sid == SidFL && ExtractField(text, 2, name) <= 0) return replies;
    }
  }
  return {};
}

QString SimProcess::replyLine(const QStringList& replies, const QString& address) {
  for (const QString& line : replies) {
    const std::string text = (line + QStringLiteral("\r\n")).toStdString();
    if (FieldOr(text, 0) == address.toStdString()) return line;
  }
  return {};
}

bool SimProcess::sendCommand(const QString& text, int settleMs) const {
  QTcpSocket socket;
  if (!ConnectTo(socket, m_address, m_tcpPort)) return false;
  QByteArray line = text.toLatin1();
  if (!line.startsWith('$') && !line.startsWith('!') && !line.startsWith('\\')) line.prepend('$');
  line += "\r\n";
  socket.write(line);
  const bool written = socket.waitForBytesWritten(1000);
  QThread::msleep(static_cast<unsigned long>(settleMs));
  socket.disconnectFromHost();
  return written;
}

}  // namespace hlx::test
