// Traffic monitor, view filter, overflow LEDs and manual input of the real
// main window. Chosen lines reach it over a real UDP channel; what goes to
// the device is checked in the simulator's record.

#include <QElapsedTimer>

#include "WindowHarness.h"
#include "ui/AMAdvLed.h"

using namespace hlx;
using namespace hlx::test;

class MonitorTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();

  void scrollingViewHolds101LinesOf102Characters();
  void noScrollKeepsOneRowPerSentenceAndTogglingClears();
  void tagBlocksAreHiddenUnlessAsked();
  void clearEmptiesTheView();
  void overflowLedsLightPerBitAndGoOutAfter500ms();
  void liveTrafficReachesTheView();
  void viewFilterSendsItsCommandsAndHidesOtherInputs();
  void manualInputSendsWithChecksumAndKeepsHistory();
  void manualInputHistoryHoldsTwentyTexts();
  void overlongManualSentenceIsRefusedWithAMessage();

 private:
  // The window listens on "UDP All"; a silent simulator takes its query.
  void Listen(WindowHarness& h, SimProcess& sim) {
    QVERIFY2(sim.start({"--silent", "--traffic", "0"}), qPrintable(sim.errorText()));
    h.Create();
    h.ChoosePort(QStringLiteral("UDP All"));
    h.SetAddress(sim.address());
    h.Click("btnConnect");
    QVERIFY(h.Connected());
  }
  void ConnectTcp(WindowHarness& h, const SimProcess& sim) {
    h.StartTcp(sim);
    QTRY_COMPARE(h.State(), SessionState::Idle);
  }
  TAMAdvLed* Led(WindowHarness& h, int i) { return h.Find<TAMAdvLed>(qPrintable(QStringLiteral("ldOverflow%1").arg(i))); }
  QTemporaryDir m_configDir;
};

void MonitorTest::initTestCase() {
  QVERIFY(m_configDir.isValid());
  UsePrivateSettingsFolder(m_configDir);
}

void MonitorTest::init() { Settings().clear(); }

void MonitorTest::scrollingViewHolds101LinesOf102Characters() {
  SimProcess sim(false);
  WindowHarness h;
  Listen(h, sim);
  for (int i = 1; i <= 102; ++i) h.Feed("$GPGLL," + QByteArray::number(i));
  QTRY_COMPARE(h.Shown().size(), 101);
  QCOMPARE(h.Shown().first(), QStringLiteral("$GPGLL,2"));
  QCOMPARE(h.Shown().last(), QStringLiteral("$GPGLL,102"));
  h.Feed("$GPTXT," + QByteArray(115, 'x'));
  QTRY_COMPARE(h.Shown().last().size(), 102);
  h.Feed("");  // a bare CR LF is not shown
  h.Feed("$");
  QTRY_COMPARE(h.Shown().last(), QStringLiteral("$"));
  QCOMPARE(h.Shown().size(), 101);
}

void MonitorTest::noScrollKeepsOneRowPerSentenceAndTogglingClears() {
  SimProcess sim(false);
  WindowHarness h;
  Listen(h, sim);
  h.Feed("$GPGLL,1");
  QTRY_COMPARE(h.Shown().size(), 1);
  h.Find<QCheckBox>("chbNoScroll")->click();
  QTRY_VERIFY(h.Shown().isEmpty());
  for (const char* line : {"$GPRMC,1", "$IIRMC,1", "$GPRMC,2", "$PQVXOV,0", "$PQVXOP,R,00001000"}) h.Feed(line);
  QTRY_COMPARE(h.Shown(), (QStringList{"$GPRMC,2", "$IIRMC,1", "$PQVXOP,R,00001000"}));
  h.Find<QCheckBox>("chbNoScroll")->click();
  QTRY_VERIFY(h.Shown().isEmpty());
}

void MonitorTest::tagBlocksAreHiddenUnlessAsked() {
  SimProcess sim(false);
  WindowHarness h;
  Listen(h, sim);
  h.Feed("\\s:x-1*hh\\$GPRMC,1");
  QTRY_COMPARE(h.Shown(), QStringList{"$GPRMC,1"});
  h.Check("chbTAGShow")->setChecked(true);
  h.Feed("\\s:x-1*hh\\$GPRMC,2");
  QTRY_COMPARE(h.Shown().last(), QStringLiteral("\\s:x-1*hh\\$GPRMC,2"));
}

void MonitorTest::clearEmptiesTheView() {
  SimProcess sim(false);
  WindowHarness h;
  Listen(h, sim);
  h.Feed("$GPGLL,1");
  QTRY_COMPARE(h.Shown().size(), 1);
  h.Click("btnClear");
  QVERIFY(h.Shown().isEmpty());
}

void MonitorTest::overflowLedsLightPerBitAndGoOutAfter500ms() {
  SimProcess sim(false);
  WindowHarness h;
  Listen(h, sim);
  for (int i = 1; i <= 4; ++i) QVERIFY(!Led(h, i)->LedOn());
  h.Feed("$PQVXOV,5");
  QTRY_VERIFY(Led(h, 1)->LedOn() && !Led(h, 2)->LedOn() && Led(h, 3)->LedOn() && !Led(h, 4)->LedOn());
  QTest::qWait(250);
  h.Feed("$PQVXOV,2");  // adds LED 2, keeps 1 and 3, restarts the 500 ms
  QTRY_VERIFY(Led(h, 2)->LedOn());
  QElapsedTimer sinceLast;
  sinceLast.start();
  QVERIFY(Led(h, 1)->LedOn() && Led(h, 3)->LedOn() && !Led(h, 4)->LedOn());
  QTRY_VERIFY_WITH_TIMEOUT(!Led(h, 1)->LedOn(), 3000);
  QVERIFY2(sinceLast.elapsed() >= 400, qPrintable(QString::number(sinceLast.elapsed())));
  QVERIFY(!Led(h, 2)->LedOn() && !Led(h, 3)->LedOn());
  QVERIFY(Led(h, 1)->ColorOn() == QColor(Qt::red));
}

void MonitorTest::liveTrafficReachesTheView() {
  SimProcess sim(false);
  QVERIFY2(sim.start({"--traffic", "200"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  ConnectTcp(h, sim);
  QTRY_COMPARE(h.Shown().size(), 101);
  for (const QString& line : h.Shown()) QVERIFY2(line.size() <= 102, qPrintable(line));
}

void MonitorTest::viewFilterSendsItsCommandsAndHidesOtherInputs() {
  SimProcess sim(false);
  QVERIFY2(sim.start({"--traffic", "0"}), qPrintable(sim.errorText()));
  const QString restore = SimProcess::replyLine(sim.queryConfig(), QStringLiteral("PQVXOP")).section('*', 0, 0);
  QVERIFY(restore.startsWith(QStringLiteral("$PQVXOP,R,")));
  const QString restoreCommand = QString(restore).replace(QStringLiteral(",R,"), QStringLiteral(",C,"));
  WindowHarness h;
  h.Create();
  ConnectTcp(h, sim);
  QVERIFY(h.Combo("cbViewFilter")->isEnabled());
  h.Choose("cbViewFilter", 3);
  QTRY_COMPARE(Sent(sim, "$PQVXOP"), QStringList{QStringLiteral("$PQVXOP,C,12,1*4D")});
  h.Choose("cbViewFilter", 0);
  QTRY_COMPARE(Sent(sim, "$PQVXOP").size(), 2);
  QVERIFY(Sent(sim, "$PQVXOP").last().startsWith(restoreCommand + '*'));

  // Disconnecting with a filter chosen gives the device its own word back too.
  h.Choose("cbViewFilter", 5);
  h.Click("btnConnect");
  QVERIFY(!h.Connected());
  QCOMPARE(h.Combo("cbViewFilter")->currentIndex(), 0);
  QTRY_COMPARE(Sent(sim, "$PQVXOP").size(), 4);
  QVERIFY(Sent(sim, "$PQVXOP").last().startsWith(restoreCommand + '*'));
}

void MonitorTest::manualInputSendsWithChecksumAndKeepsHistory() {
  SimProcess sim(false);
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  QVERIFY(!h.Button("btnSend")->isEnabled());  // only while connected
  ConnectTcp(h, sim);
  QVERIFY(h.Button("btnSend")->isEnabled());
  QComboBox* cb = h.Combo("cbSentence");
  cb->setEditText(QStringLiteral("GPTXT,hello"));
  h.Click("btnSend");
  cb->setEditText(QStringLiteral("$GPTXT,typed*00"));
  QTest::keyClick(cb->lineEdit(), Qt::Key_Return);
  cb->setEditText(QStringLiteral("GPTXT,hello"));
  h.Click("btnSend");
  QTRY_COMPARE(Sent(sim, "$GPTXT"),
               (QStringList{QStringLiteral("$GPTXT,hello*01"), "$GPTXT,typed*00", QStringLiteral("$GPTXT,hello*01")}));
  QCOMPARE(cb->count(), 2);
  QCOMPARE(cb->itemText(0), QStringLiteral("$GPTXT,typed*00"));
  QCOMPARE(cb->itemText(1), QStringLiteral("GPTXT,hello"));
  cb->setEditText(QString());
  h.Click("btnSend");  // empty: nothing
  QCOMPARE(cb->count(), 2);
}

void MonitorTest::manualInputHistoryHoldsTwentyTexts() {
  WindowHarness h;
  h.Create();
  QComboBox* cb = h.Combo("cbSentence");
  for (int i = 1; i <= 21; ++i) {
    cb->setEditText(QStringLiteral("GPTXT,%1").arg(i));
    emit h.Button("btnSend")->clicked();  // disabled while closed; the rule is the same
  }
  QCOMPARE(cb->count(), 20);
  QCOMPARE(cb->itemText(0), QStringLiteral("GPTXT,21"));
  QCOMPARE(cb->itemText(19), QStringLiteral("GPTXT,2"));
}

void MonitorTest::overlongManualSentenceIsRefusedWithAMessage() {
  SimProcess sim(false);
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  ConnectTcp(h, sim);
  h.Combo("cbSentence")->setEditText(QStringLiteral("GPTXT,") + QString(100, QLatin1Char('y')));
  h.Click("btnSend");
  QCOMPARE(h.prompts.records.size(), 1);
  QVERIFY(h.prompts.records.first().text.startsWith(QLatin1String("Not sent")));
  QTest::qWait(200);
  QVERIFY(Sent(sim, "$GPTXT").isEmpty());
}

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
