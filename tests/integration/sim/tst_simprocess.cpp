#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <QTcpSocket>

#include "SimProcess.h"

using hlx::test::SimProcess;

namespace {

// The tests use their own port so they never meet a program's receiver.
const QString kPort = QStringLiteral("10117");

}  // namespace

class SimProcessTest : public QObject {
  Q_OBJECT
 private slots:
  void ptyAnswersOnlyAtTheHostSpeedWhichChangesAfterTheReply() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort, "--host-speed", "3"}), qPrintable(sim.errorText()));
    const int fd = ::open(QFile::encodeName(sim.ptyPath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    // A raw terminal at `speed` writes `line` and returns what comes back within `ms`.
    const auto ask = [fd](speed_t speed, const QByteArray& line, int ms) {
      termios tio{};
      ::tcgetattr(fd, &tio);
      cfmakeraw(&tio);
      cfsetspeed(&tio, speed);
      ::tcsetattr(fd, TCSANOW, &tio);
      QByteArray got = ::write(fd, line.constData(), line.size()) == line.size() ? "" : "write failed";
      char buf[512];
      pollfd p{fd, POLLIN, 0};
      for (QDeadlineTimer deadline(ms); ::poll(&p, 1, static_cast<int>(deadline.remainingTime())) > 0;)
        if (const ssize_t n = ::read(fd, buf, sizeof buf); n > 0)
          got.append(buf, n);
        else
          break;
      return got;
    };
    QCOMPARE(ask(B57600, "$PQVXVER*4E\r\n", 400), QByteArray());
    QVERIFY(ask(B38400, "$PQVXCF,C,0*79\r\n", 400).startsWith("$PQVXCF,R,0,"));  // still at the old speed
    QCOMPARE(ask(B38400, "$PQVXVER*4E\r\n", 300), QByteArray());
    QVERIFY(ask(B4800, "$PQVXVER*4E\r\n", 400).startsWith("$PQVXVER,3.33.1,HLX2000,20261206,8041*1C\r\n"));
    // Only what arrived at the right speed was received.
    QCOMPARE(sim.recordedLines(), (QStringList{"$PQVXCF,C,0*79", "$PQVXVER*4E"}));
    sim.stop();
    QVERIFY(!QFileInfo(sim.ptyPath()).isSymLink());  // SIGTERM removes the link
  }

  // --silent, --no-caps and --ver-garbage are shown through the window (tst_connection).
  void recordHoldsWhatArrived_quietCommandsAndUnendedListChangeOnlyReplies() {
    SimProcess sim;
    QVERIFY2(sim.start({"--port", kPort, "--quiet-commands", "--no-list-end"}), qPrintable(sim.errorText()));
    QTcpSocket socket;
    socket.connectToHost(sim.address(), sim.tcpPort());
    QVERIFY(socket.waitForConnected(3000));
    // Split across writes, garbage between, an overlong line, a bad checksum, a TAG block.
    socket.write("noise$PQVXSP,C,");
    socket.flush();
    QTest::qWait(50);
    socket.write("1,2,3,4,5*7E\r\n$GPTXT," + QByteArray(200, 'x') + "*63\r\n$PQVXVER*00\r\n");
    socket.write("\\s:x-1*00\\$GPGLL,1*3B\r\n$PQVXCFQ*5B\r\n");
    const QStringList received{"$PQVXSP,C,1,2,3,4,5*7E", "$PQVXVER*00", "\\s:x-1*00\\$GPGLL,1*3B",
                               "$PQVXCFQ*5B"};
    QTRY_COMPARE_WITH_TIMEOUT(sim.recordedLines(), received, 3000);
    QByteArrayList replies;
    while (replies.size() < 4 && (socket.canReadLine() || socket.waitForReadyRead(3000)))
      if (socket.canReadLine()) replies << socket.readLine().trimmed();
    QVERIFY(replies.value(0).startsWith("$PQVXCF,R,"));                // no reply to the settings command...
    QCOMPARE(replies.value(3), QByteArray("$PQVXSP,R,1,2,3,4,5*6F"));  // ...which was applied all the same
    QVERIFY(sim.queryConfig(500).isEmpty());                           // the list never ends
    QCOMPARE(sim.recordedLines(), received);  // the helper's own query stays out of the record
  }

  // SIGUSR1 pulls the cable: a TCP peer sees a reset rather than an orderly
  // end, the terminal's other side a hang-up, and the link already leads to
  // a new terminal.
  void hangUpResetsConnectionsAndReplacesTheTerminal() {
    SimProcess sim(true, false);
    QVERIFY2(sim.start({"--port", kPort}), qPrintable(sim.errorText()));
    const int tcp = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto closeTcp = qScopeGuard([tcp] { ::close(tcp); });
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort.toUShort());
    ::inet_pton(AF_INET, sim.address().toLatin1().constData(), &to.sin_addr);
    QCOMPARE(::connect(tcp, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    const QByteArray query = "$PQVXVER*4E\r\n";
    QCOMPARE(::send(tcp, query.constData(), std::size_t(query.size()), 0), ssize_t(query.size()));
    const auto wait = [](int fd, short events) {
      pollfd p{fd, events, 0};
      return ::poll(&p, 1, 3000) == 1 ? p.revents : 0;
    };
    char reply[256];
    QVERIFY(wait(tcp, POLLIN) && ::recv(tcp, reply, sizeof reply, 0) > 0);  // accepted and answered
    const QString firstTerminal = QFileInfo(sim.ptyPath()).symLinkTarget();
    const int pty = ::open(QFile::encodeName(sim.ptyPath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(pty >= 0);
    const auto closePty = qScopeGuard([pty] { ::close(pty); });

    QVERIFY(sim.hangUp());
    QVERIFY(wait(tcp, POLLIN) != 0);
    errno = 0;
    QCOMPARE(::recv(tcp, reply, sizeof reply, 0), ssize_t(-1));
    QCOMPARE(errno, ECONNRESET);
    QVERIFY(wait(pty, POLLIN) & POLLHUP);
    QVERIFY(QFileInfo(sim.ptyPath()).symLinkTarget() != firstTerminal);
    const int next = ::open(QFile::encodeName(sim.ptyPath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(next >= 0);
    ::close(next);
  }
};

QTEST_GUILESS_MAIN(SimProcessTest)
#include "tst_simprocess.moc"
