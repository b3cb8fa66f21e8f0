#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <csignal>

#include <sys/prctl.h>

namespace hlx::test {

SimProcess::SimProcess(bool withPty, bool withRecord) {
  if (withPty) m_ptyPath = m_dir.filePath(QStringLiteral("pty"));
  if (withRecord) m_recordPath = m_dir.filePath(QStringLiteral("record.txt"));
  // Diagnostics go straight to the test's stderr: a full pipe would block the simulator.
  m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // A test that dies (a fatal check, a crash) takes the simulator with it:
  // left running, it would hold that stderr open and CTest would wait for
  // its time-out instead of reporting the failure.
  m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

bool SimProcess::start(const QStringList& args, int timeoutMs) {
  QStringList all;
  if (!m_ptyPath.isEmpty()) all << QStringLiteral("--pty") << m_ptyPath;
  if (!m_recordPath.isEmpty()) all << QStringLiteral("--record") << m_recordPath;
  // Lets test runs that share a machine keep out of each other's way.
  if (const QByteArray address = qgetenv("HLX_TEST_SIM_ADDRESS"); !address.isEmpty())
    all << QStringLiteral("--address") << QString::fromLatin1(address);
  const QByteArray path = qgetenv("HLX_SIM_PATH");
  m_output.clear();
  m_process.start(path.isEmpty() ? QStringLiteral(HLX_SIM_PATH) : QString::fromLocal8Bit(path), all + args);
  QDeadlineTimer deadline(timeoutMs);
  bool ready = m_process.waitForStarted(timeoutMs);
  while (ready && !m_output.endsWith("ready\n")) {
    ready = m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    m_output += m_process.readAll();
  }
  // "tcp 127.0.0.2:10110" comes before "ready".
  const QString text = QString::fromLocal8Bit(m_output);
  const auto lines = QRegularExpression::MultilineOption;
  static const QRegularExpression tcp(QStringLiteral("^tcp (\\S+):(\\d+)$"), lines);
  if (const auto m = tcp.match(text); m.hasMatch()) {
    m_address = m.captured(1);
    m_tcpPort = m.captured(2).toUShort();
  }
  if (!ready) {
    m_error = QStringLiteral("hlx-sim not ready (%1); output: %2").arg(m_process.errorString(), text);
    stop();
  }
  return ready;
}

void SimProcess::stop() {
  if (m_process.state() == QProcess::NotRunning) return;
  // SIGTERM first so the simulator removes its pty link; kill if it hangs.
  m_process.terminate();
  if (!m_process.waitForFinished(3000)) {
    m_process.kill();
    m_process.waitForFinished(3000);
  } else if (m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() != 0) {
    // A sanitizer report, say: a fault of the simulator that no test may pass over.
    qFatal("hlx-sim exited with code %d on SIGTERM (its error output is above)", m_process.exitCode());
  }
}

QStringList SimProcess::recordedLines() const {
  QFile file(m_recordPath);
  if (m_recordPath.isEmpty() || !file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n')).filter(QStringLiteral("*"));
}

QStringList SimProcess::queryConfig(int timeoutMs) const {
  QTcpSocket socket;
  socket.connectToHost(m_address, m_tcpPort);
  if (!socket.waitForConnected(3000)) return {};
  socket.write("$PQVXCFQ\r\n");
  // Live traffic on the connection is skipped.
  static const QRegularExpression reply(QStringLiteral("^\\$PQVX(CF|DR|ID|SP|OP|IN|FL),R,"));
  QStringList replies;
  for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired();) {
    while (socket.canReadLine()) {
      const QString line = QString::fromLatin1(socket.readLine().trimmed());
      if (reply.match(line).hasMatch()) replies << line;
      if (line.startsWith(QLatin1String("$PQVXFL,R,*"))) return replies;
    }
    if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
        socket.state() != QAbstractSocket::ConnectedState)
      break;
  }
  return {};
}

bool SimProcess::sendCommand(const QString& text, int settleMs) const {
  QTcpSocket socket;
  socket.connectToHost(m_address, m_tcpPort);
  const QString line = text.startsWith(QLatin1Char('$')) ? text : QLatin1Char('$') + text;
  const bool written = socket.waitForConnected(3000) && socket.write(line.toLatin1() + "\r\n") > 0 &&
                       socket.waitForBytesWritten(1000);
  QThread::msleep(static_cast<unsigned long>(settleMs));
  return written;
}

QString SimProcess::quietUdpPeer() {
  return qEnvironmentVariable("HLX_TEST_SIM_ADDRESS", QStringLiteral("127.0.0.2")) + QStringLiteral(":9");
}

bool SimProcess::waitForLine(const QByteArray& line, int times, int timeoutMs) {
  const QByteArray framed = '\n' + line + '\n';  // the endpoints come first, so never at the start
  for (QDeadlineTimer deadline(timeoutMs); m_output.count(framed) < times;) {
    if (deadline.hasExpired() || m_process.state() != QProcess::Running) return false;
    m_process.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100)));
    m_output += m_process.readAll();
  }
  return true;
}

bool SimProcess::hangUp(int timeoutMs) {
  m_output += m_process.readAll();
  const qsizetype before = m_output.count("\nhangup\n");
  return m_process.state() == QProcess::Running &&
         ::kill(static_cast<pid_t>(m_process.processId()), SIGUSR1) == 0 &&
         waitForLine("hangup", static_cast<int>(before) + 1, timeoutMs);
}

}  // namespace hlx::test
