// The real hlx-sim on its terminal: the speed searches of the program's
// tests pass only because it answers at its host speed alone, and they read
// what the program sent from its record.
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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
};

QTEST_GUILESS_MAIN(SimProcessTest)
#include "tst_simprocess.moc"
