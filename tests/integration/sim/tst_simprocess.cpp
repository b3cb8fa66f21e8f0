#include <QtTest>

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "SimProcess.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using hlx::test::SimProcess;

namespace {

// The tests use their own port so they never meet a program's receiver.
const QString kPort = QStringLiteral("10117");

QByteArray Sentence(const char* text) { return QByteArray::fromStdString(CompleteSentence(text)); }

QByteArray ReadLineFrom(QIODevice& io, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!io.canReadLine() && !deadline.hasExpired()) io.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  return io.canReadLine() ? io.readLine() : QByteArray();
}

// A plain raw terminal client on the simulator's pty.
class PtyClient {
 public:
  explicit PtyClient(const QString& path) { m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY); }
  ~PtyClient() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool ok() const { return m_fd >= 0; }
  void setSpeed(speed_t speed) {
    termios tio{};
    ::tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    ::tcsetattr(m_fd, TCSANOW, &tio);
  }
  void write(const QByteArray& data) { QCOMPARE(::write(m_fd, data.constData(), data.size()), data.size()); }
  QByteArray readFor(int ms) {
    QByteArray got;
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(deadline.remainingTime())) <= 0) break;
      char buf[512];
      const ssize_t n = ::read(m_fd, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, n);
    }
    return got;
  }

 private:
  int m_fd = -1;
};

}  // namespace

class SimProcessTest : public QObject {
  Q_OBJECT
 private slots:
  void tcp_versionReplyIsWellFormed() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort, "--name", "BENCH", "--serial", "42", "--caps", "8040"}),
             qPrintable(sim.errorText()));
    QTcpSocket socket;
    socket.connectToHost(sim.address(), sim.tcpPort());
    QVERIFY(socket.waitForConnected(3000));
    socket.write(Sentence("PQVXVER"));
    const std::string reply = ReadLineFrom(socket, 3000).toStdString();
    QCOMPARE(reply, CompleteSentence("PQVXVER,3.33.1,BENCH,42,8040"));
  }

  void tcp_configurationQueryEndsWithEmptyFilterReply() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort}), qPrintable(sim.errorText()));
    const QStringList replies = sim.queryConfig();
    QVERIFY(replies.size() >= 7);
    for (const char* a : {"PQVXCF", "PQVXDR", "PQVXID", "PQVXSP", "PQVXOP", "PQVXIN", "PQVXFL"})
      QVERIFY2(!SimProcess::replyLine(replies, a).isEmpty(), a);
    QVERIFY(replies.last().startsWith("$PQVXFL,R,*"));
  }

  void tcp_secondClientSeesStateChangedByFirst() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort}), qPrintable(sim.errorText()));
    QTcpSocket first;
    first.connectToHost(sim.address(), sim.tcpPort());
    QVERIFY(first.waitForConnected(3000));
    first.write(Sentence("PQVXSP,C,1,2,3,4,5"));
    QCOMPARE(ReadLineFrom(first, 3000), Sentence("PQVXSP,R,1,2,3,4,5"));
    QCOMPARE(SimProcess::replyLine(sim.queryConfig(), "PQVXSP"),
             QString::fromLatin1(Sentence("PQVXSP,R,1,2,3,4,5").trimmed()));
  }

  void tcp_liveTrafficReachesEveryClient() {
    SimProcess sim(false, false);
    QVERIFY2(sim.start({"--port", kPort, "--traffic", "200"}), qPrintable(sim.errorText()));
    QTcpSocket a, b;
    for (QTcpSocket* s : {&a, &b}) {
      s->connectToHost(sim.address(), sim.tcpPort());
      QVERIFY(s->waitForConnected(3000));
    }
    for (QTcpSocket* s : {&a, &b}) {
      const std::string line = ReadLineFrom(*s, 3000).toStdString();
      QVERIFY2(LineSourceInput(line) >= 1, line.c_str());
    }
  }

  void udp_repliesGoToThePeer() {
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    SimProcess sim(false, true);
    QVERIFY2(sim.start({"--port", kPort, "--udp-peer", QStringLiteral("127.0.0.1:%1").arg(peer.localPort())}),
             qPrintable(sim.errorText()));
    QUdpSocket sender;
    sender.writeDatagram(Sentence("PQVXVER"), QHostAddress(sim.address()), sim.udpPort());
    QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 3000);
    const QNetworkDatagram d = peer.receiveDatagram();
    QVERIFY(d.data().startsWith("$PQVXVER,3.33.1,"));
    QCOMPARE(d.senderAddress(), QHostAddress(sim.address()));
    QCOMPARE(d.senderPort(), sim.udpPort());
  }

  void pty_answersOnlyAtTheHostSpeed() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort, "--host-speed", "3"}), qPrintable(sim.errorText()));
    PtyClient pty(sim.ptyPath());
    QVERIFY(pty.ok());
    pty.setSpeed(B57600);
    pty.write(Sentence("PQVXVER"));
    QCOMPARE(pty.readFor(400), QByteArray());
    pty.setSpeed(B38400);
    pty.write(Sentence("PQVXVER"));
    QVERIFY(pty.readFor(400).startsWith("$PQVXVER,"));
    // Only what arrived at the right speed was received.
    QCOMPARE(sim.recordedLines(), QStringList{QString::fromLatin1(Sentence("PQVXVER").trimmed())});
  }

  void pty_changedHostSpeedTakesEffectAfterTheReply() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort, "--host-speed", "5"}), qPrintable(sim.errorText()));
    PtyClient pty(sim.ptyPath());
    QVERIFY(pty.ok());
    pty.setSpeed(B115200);
    pty.write(Sentence("PQVXCF,C,1"));
    QVERIFY(pty.readFor(400).startsWith("$PQVXCF,R,1,"));  // still at the old speed
    pty.write(Sentence("PQVXVER"));
    QCOMPARE(pty.readFor(300), QByteArray());
    pty.setSpeed(B9600);
    pty.write(Sentence("PQVXVER"));
    QVERIFY(pty.readFor(400).startsWith("$PQVXVER,"));
  }

  void record_holdsExactlyWhatWasSent() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort}), qPrintable(sim.errorText()));
    QTcpSocket socket;
    socket.connectToHost(sim.address(), sim.tcpPort());
    QVERIFY(socket.waitForConnected(3000));
    // Split across writes, garbage between, a bad checksum, a tag block.
    socket.write("noise$PQVXOP,C,");
    socket.flush();
    QTest::qWait(50);
    socket.write("12,1*4D\r\n$PQVXVER*00\r\n\\s:x-1*00\\$GPGLL,1*3B\r\n");
    QVERIFY(socket.waitForBytesWritten(1000));
    QTRY_COMPARE_WITH_TIMEOUT(sim.recordedLines(),
                              (QStringList{"$PQVXOP,C,12,1*4D", "$PQVXVER*00", "\\s:x-1*00\\$GPGLL,1*3B"}), 3000);
    sim.queryConfig();  // the helper's own query stays out of the record
    QCOMPARE(sim.recordedLines().size(), 3);
  }

  void sigterm_removesThePtyLink() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort}), qPrintable(sim.errorText()));
    QVERIFY(QFileInfo(sim.ptyPath()).isSymLink());
    sim.stop();
    QVERIFY(!QFileInfo(sim.ptyPath()).isSymLink());
  }

  void failureModes_silentAndNoListEnd() {
    {
      SimProcess sim(false, false);
      QVERIFY2(sim.start({"--port", kPort, "--silent"}), qPrintable(sim.errorText()));
      QVERIFY(sim.queryConfig(500).isEmpty());
    }
    SimProcess sim(false, false);
    QVERIFY2(sim.start({"--port", kPort, "--no-list-end"}), qPrintable(sim.errorText()));
    QVERIFY(sim.queryConfig(500).isEmpty());  // never complete
  }
};

QTEST_GUILESS_MAIN(SimProcessTest)
#include "tst_simprocess.moc"
