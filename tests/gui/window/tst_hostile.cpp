// The main window against a hostile peer: the cable pulled in the middle of
// a session, garbage between the device's lines, and a stranger flooding the
// program's UDP port.

#include "ProcessUsage.h"
#include "WindowHarness.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// How long a zero timer waits for the window's event loop.
qint64 EventLoopLatencyMs() {
  QElapsedTimer clock;
  clock.start();
  qint64 latency = -1;
  QObject scope;  // a timer that never fired goes with it
  QTimer::singleShot(0, &scope, [&] { latency = clock.elapsed(); });
  return QTest::qWaitFor([&] { return latency >= 0; }, 30000) ? latency : clock.elapsed();
}

const char* const kChannelClosed = "The connection to the multiplexer was closed.";

void PtyOrTcp() {
  QTest::addColumn<bool>("pty");
  QTest::newRow("pty") << true;
  QTest::newRow("TCP") << false;
}

// Keeps the window's event loop turning for `ms` and returns its worst latency.
qint64 WorstLatencyMs(int ms) {
  qint64 worst = 0;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    worst = qMax(worst, EventLoopLatencyMs());
    QTest::qWait(20);
  }
  return worst;
}

}  // namespace

class HostileWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // One message, nothing running afterwards, no "does not respond" later on,
  // and Connect finds the device again on the simulator's new terminal or connection.
  void unplug_saysSoOnceAndConnectsAgain_data() { PtyOrTcp(); }
  void unplug_saysSoOnceAndConnectsAgain() {
    QFETCH(bool, pty);
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "200"}, pty), qPrintable(h.Why()));
    QVERIFY(h.ConnectSim());
    QVERIFY(h.SettingsEnabled());
    QTRY_VERIFY(h.Shown().size() > 10);

    QVERIFY(h.sim->hangUp());
    QTRY_VERIFY_WITH_TIMEOUT(!h.Connected(), 2000);
    QCOMPARE(h.prompts.texts(), QStringList{kChannelClosed});
    QVERIFY(!h.SettingsEnabled());
    QCOMPARE(h.Panel(0), QStringLiteral("Device: "));
    const double cpuBefore = CpuMs();
    QTest::qWait(1000);
    const double cpu = CpuMs() - cpuBefore;
    qInfo("CPU over 1 s after the hang-up: %.1f ms", cpu);
    QVERIFY2(cpu < 100, qPrintable(QString::number(cpu)));
    QTest::qWait(1500);  // past the reply time-out
    QCOMPARE(h.prompts.records.size(), 1);

    h.Click("btnConnect");
    QVERIFY(h.WaitReadBack(2));
    QVERIFY(h.Connected() && h.SettingsEnabled());
    QCOMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
    QCOMPARE(h.prompts.records.size(), 1);
  }

  // A capture running when the cable goes ends quietly: nothing is sent to
  // the dead channel, so the diagnostic log shows no command after the loss.
  void unplugDuringCaptureSendsNothing() {
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "50"}, true), qPrintable(h.Why()));
    QVERIFY(h.ConnectSim());
    const QString log = dir.filePath(QStringLiteral("diag.txt"));
    h.Trigger("miTimedLog", log);
    h.Click("btnFilterCapture");
    QCOMPARE(h.State(), SessionState::Capture);
    QVERIFY(h.sim->hangUp());
    QTRY_VERIFY_WITH_TIMEOUT(!h.Connected(), 2000);
    QCOMPARE(h.State(), SessionState::Idle);
    h.Trigger("miStopLog");
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The capture's own command only, no restore after it.
    QCOMPARE(file.readAll().count("PQVXOP,C,"), 1);
    QCOMPARE(h.prompts.texts().filter(QStringLiteral("connection")), QStringList{kChannelClosed});
  }

  // Garbage between the device's lines: the device is identified and read
  // all the same, nothing is said, and the one-row-per-sentence table does
  // not fill up with rows for garbage (each new row made every later line
  // slower, until the window froze).
  void noise_deviceIsReadAndTheTableStaysSmall_data() { PtyOrTcp(); }
  void noise_deviceIsReadAndTheTableStaysSmall() {
    QFETCH(bool, pty);
    WindowHarness h;
    QVERIFY2(
        h.Start({"--traffic", "200", "--noise", "1000000", "--udp-peer", SimProcess::quietUdpPeer()}, pty),
        qPrintable(h.Why()));
    QVERIFY(h.ConnectSim());
    QVERIFY(h.SettingsEnabled());
    QCOMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
    h.Check("chbNoScroll")->click();
    const qint64 worst = WorstLatencyMs(4000);
    const QStringList rows = h.Shown();
    qInfo("4 s of noise: %lld rows, event loop late by %lld ms at most", qsizetype(rows.size()), worst);
    QVERIFY2(rows.size() > 5 && rows.size() < 40, qPrintable(rows.join(QLatin1Char('\n'))));
    QVERIFY2(worst < 1000, qPrintable(QString::number(worst)));
    QCOMPARE(h.prompts.texts(), QStringList{});
  }

  // On "UDP" only the chosen device is heard. A second simulator next door
  // floods port 10110 with its own traffic, overflow reports and garbage:
  // none of it reaches the monitor, the log or the overflow lamps, the
  // device's lines keep coming, and the window stays responsive.
  void udpFlood_fromAStrangerNeverReachesTheWindow() {
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "100", "--ov-period", "0"}), qPrintable(h.Why()));
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log.txt"));
    h.Check("chbTAGShow")->setChecked(true);
    h.Trigger("miStartLog", log);
    h.Open(QStringLiteral("UDP"), h.sim->address());
    QVERIFY(h.WaitReadBack());
    QVERIFY(h.SettingsEnabled());

    const QHostAddress next(QHostAddress(h.sim->address()).toIPv4Address() + 1);
    SimProcess stranger(false, false);
    QVERIFY2(stranger.start({"--address", next.toString(), "--port", "0", "--name", "ALIEN", "--traffic",
                             "20000", "--noise", "2000000", "--ov-period", "100"}),
             qPrintable(stranger.errorText()));
    const auto logged = [&] { return h.Panel(4).section(QLatin1Char(' '), 1, 1).toInt(); };
    const int loggedBefore = logged();
    const qint64 worst = WorstLatencyMs(3000);
    const int deviceLines = logged() - loggedBefore;
    stranger.stop();
    h.Trigger("miStopLog");
    qInfo("during 3 s of flood: %d lines of the device, event loop late by %lld ms at most", deviceLines,
          worst);
    QVERIFY2(worst < 1000, qPrintable(QString::number(worst)));
    QVERIFY2(deviceLines > 100, qPrintable(QString::number(deviceLines)));

    const QStringList lines = QString::fromLatin1(ReadAll(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() > deviceLines);
    for (const QString& line : lines)
      QVERIFY2(line.startsWith(QLatin1String("$PQVX")) || line.contains(QLatin1String("s:HLX2000-")),
               qPrintable(line));
    for (const QString& line : h.Shown())
      QVERIFY2(!line.contains(QLatin1String("ALIEN")) && !line.contains(QLatin1String("PXSEQ")),
               qPrintable(line));
    QCOMPARE(h.Leds(), QStringLiteral("0000"));
    QCOMPARE(h.prompts.records.size(), 1);  // the log's file dialog
    QCOMPARE(h.prompts.records.first().kind, QStringLiteral("save"));
  }
};

QTEST_MAIN(HostileWindowTest)
#include "tst_hostile.moc"
