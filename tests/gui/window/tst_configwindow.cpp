// The configuration tabs inside the real main window against hlx-sim over
// TCP: edits reach the device, a read-back shows the same controls again,
// capture starts and stops, and the factory reset restores the device and the
// window.

#include <QAction>

#include "WindowHarness.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// Every setting control of the two setting tabs, by name.
QStringList Snapshot(const WindowHarness& h) {
  QStringList out;
  for (const char* page : {"InOutPage", "OptionsPage"}) {
    QWidget* w = h.Find<QWidget>(page);
    for (auto* c : w->findChildren<QComboBox*>()) out << c->objectName() + '=' + QString::number(c->currentIndex());
    for (auto* c : w->findChildren<QCheckBox*>()) out << c->objectName() + '=' + QString::number(c->isChecked());
    for (auto* c : w->findChildren<QLineEdit*>()) out << c->objectName() + '=' + c->text();
  }
  out.sort();
  return out;
}

}  // namespace

class ConfigWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();

  void editsReachTheDeviceAndSurviveAReadBack();
  void factoryResetRestoresDeviceAndWindow();
  void declinedFactoryResetDuringCaptureEndsItFirst();
  void captureCollectsRulesAndStops();
  void storeListReplacesTheDevicesList();
  void talkerEditsTurnYellowOnlyWhenTheTextChanges();
  void inputRowsSitRightUnderTheirHeadings();

 private:
  QCheckBox* Check(WindowHarness& h, const char* name) { return h.Check(name); }

  QTemporaryDir m_configDir;
};

void ConfigWindowTest::initTestCase() {
  QVERIFY(m_configDir.isValid());
  UsePrivateSettingsFolder(m_configDir);
}

void ConfigWindowTest::init() { Settings().clear(); }

void ConfigWindowTest::editsReachTheDeviceAndSurviveAReadBack() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  const QStringList factory = sim.queryConfig();
  const int before = sim.recordedLines().size();

  h.Choose("cbBaudIn2", 3);
  Check(h, "chbRTime1")->click();
  Check(h, "chbRouteIn1Out2")->click();
  h.Choose("cbModeIn1", 1);
  QLineEdit* talker = h.Find<QLineEdit>("edtTalkID1");
  talker->setText(QStringLiteral("AB"));
  QTest::keyClick(talker, Qt::Key_Return);
  Check(h, "chbHDGConv")->click();
  QTRY_COMPARE(sim.recordedLines().size(), before + 6);
  const QStringList edited = Snapshot(h);
  QVERIFY(edited.size() > 40);
  QVERIFY(edited.contains(QStringLiteral("edtTalkID1=AB")));
  QVERIFY(sim.queryConfig() != factory);
  QVERIFY(SimProcess::replyLine(sim.queryConfig(), QStringLiteral("PQVXID")).startsWith(QStringLiteral("$PQVXID,R,AB,")));

  // Read the device again: only the two queries go out, and every control
  // comes back as it was.
  h.Click("btnReadConfig");
  QVERIFY(h.WaitReadBack(sim, 2));
  QCOMPARE(sim.recordedLines().mid(before + 6), (QStringList{QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B")}));
  QCOMPARE(Snapshot(h), edited);
}

void ConfigWindowTest::factoryResetRestoresDeviceAndWindow() {
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "0"}), qPrintable(sim.errorText()));
  const QStringList factory = sim.queryConfig();
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXSP,C,1,1,1,1,1")));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXFL,C,DELETE")));
  WindowHarness h;
  h.Create();
  QVERIFY(h.ConnectTcp(sim));
  QCOMPARE(h.Combo("cbBaudOut2")->currentIndex(), 1);
  QCOMPARE(h.Rules(), 0);

  h.prompts.yesNoAnswers.enqueue(true);
  h.Find<QAction>("miResetFactorySettings")->trigger();
  QVERIFY(h.prompts.records.last().text.startsWith(QStringLiteral("This will restore the factory settings")));
  QVERIFY(h.WaitReadBack(sim, 2));
  QCOMPARE(Sent(sim, QStringLiteral("$PQVXRESET")), QStringList{QStringLiteral("$PQVXRESET,1*47")});
  QCOMPARE(sim.queryConfig(), factory);
  QCOMPARE(h.Rules(), factory.filter(QStringLiteral("$PQVXFL,R,")).size() - 1);
  QVERIFY(h.Combo("cbBaudOut2")->currentIndex() != 1);
}

void ConfigWindowTest::declinedFactoryResetDuringCaptureEndsItFirst() {
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "0"}), qPrintable(sim.errorText()));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXSP,C,1,1,1,1,1")));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXOP,C,00000000")));
  WindowHarness h;
  h.Create();
  QVERIFY(h.ConnectTcp(sim));
  h.Click("btnFilterCapture");
  QCOMPARE(h.State(), SessionState::Capture);
  h.Trigger("miResetFactorySettings");  // answered No
  QVERIFY(h.WaitReadBack(sim, 2));
  QVERIFY(Sent(sim, QStringLiteral("$PQVXRESET")).isEmpty());
  QCOMPARE(h.Combo("cbBaudOut2")->currentIndex(), 1);
  // The capture ended before the device was read again, so the TAG setting
  // read back is the user's own (off), not the capture's.
  const QStringList sent = sim.recordedLines();
  QVERIFY(sent.indexOf(QStringLiteral("$PQVXOP,C,00000000*53")) < sent.lastIndexOf(QStringLiteral("$PQVXVER*4E")));
  QVERIFY(!Check(h, "chbChanTAG")->isChecked());
  QCOMPARE(h.Button("btnFilterCapture")->text(), QStringLiteral("Capture"));
}

void ConfigWindowTest::captureCollectsRulesAndStops() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "50"}), qPrintable(sim.errorText()));
  h.Click("btnFilterCapture");
  QCOMPARE(h.Button("btnFilterCapture")->text(), QStringLiteral("Stop"));
  QVERIFY(h.Button("btnFilterCapture")->isEnabled());
  QVERIFY(!h.Button("btnReadConfig")->isEnabled());
  QVERIFY(!h.SettingsEnabled());
  QTRY_COMPARE(Sent(sim, "$PQVXOP"), QStringList{QStringLiteral("$PQVXOP,C,12,1*4D")});
  const int before = h.Rules();
  QTRY_VERIFY(h.Rules() > before);  // tagged traffic adds its addresses

  h.Click("btnFilterCapture");
  QCOMPARE(h.State(), SessionState::Idle);
  QCOMPARE(h.Button("btnFilterCapture")->text(), QStringLiteral("Capture"));
  QVERIFY(h.Button("btnReadConfig")->isEnabled());
  QVERIFY(h.SettingsEnabled());
  QTRY_COMPARE(Sent(sim, "$PQVXOP").size(), 2);  // the device's own word again
  QVERIFY(Sent(sim, "$PQVXOP").last().startsWith(QStringLiteral("$PQVXOP,C,0")));
}

void ConfigWindowTest::storeListReplacesTheDevicesList() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  const int rules = h.Rules();
  QVERIFY(rules > 0);
  h.Find<QLineEdit>("edtFilter")->setText(QStringLiteral("iimwv"));
  h.Click("btnFilterAdd");
  QCOMPARE(h.Rules(), rules + 1);
  const int before = sim.recordedLines().size();
  h.Click("btnFilterStore");
  QTRY_COMPARE(sim.recordedLines().size(), before + rules + 2);
  QCOMPARE(sim.recordedLines().at(before), QStringLiteral("$PQVXFL,C,DELETE*5F"));
  QCOMPARE(sim.recordedLines().last(), QStringLiteral("$PQVXFL,C,IIMWV,000000,,0000*26"));
  // The device lists it back with its fields in the same order.
  const QStringList config = sim.queryConfig();
  QCOMPARE(config.filter(QStringLiteral("$PQVXFL,R,")).size(), rules + 2);
  QCOMPARE(config.filter(QRegularExpression(QStringLiteral("^\\$PQVXFL,R,IIMWV,000000,,0000\\*"))).size(), 1);
}

void ConfigWindowTest::talkerEditsTurnYellowOnlyWhenTheTextChanges() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  QLineEdit* talker = h.Find<QLineEdit>("edtTalkID2");
  const QColor normal = talker->palette().color(QPalette::Base);
  talker->setFocus();
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Left, Qt::Key_Right, Qt::Key_Shift, Qt::Key_Home}) {
    QTest::keyClick(talker, key);
    QCOMPARE(talker->palette().color(QPalette::Base), normal);
  }
  talker->setFocus();
  talker->selectAll();
  QTest::keyClicks(talker, QStringLiteral("XY"));
  QCOMPARE(talker->palette().color(QPalette::Base), QColor(Qt::yellow));
  QTest::keyClick(talker, Qt::Key_Return);
  QCOMPARE(talker->palette().color(QPalette::Base), normal);
  QTRY_COMPARE(Sent(sim, "$PQVXID").size(), 1);
}

void ConfigWindowTest::inputRowsSitRightUnderTheirHeadings() {
  WindowHarness h;
  h.Create();
  QApplication::processEvents();
  const auto top = [&](const char* name) { return h.Find<QWidget>(name)->mapTo(h.window.get(), QPoint()).y(); };
  const int row = h.Combo("cbBaudIn1")->height();
  // The group's title and two heading lines, then the rows: no stretched band.
  QVERIFY2(top("cbBaudIn1") - top("gbNMEAIn") < 4 * row + 20,
           qPrintable(QStringLiteral("%1 %2").arg(top("cbBaudIn1") - top("gbNMEAIn")).arg(row)));
  QVERIFY(top("chbRTime5") - top("cbBaudIn1") < 5 * (row + 12));
}

QTEST_MAIN(ConfigWindowTest)
#include "tst_configwindow.moc"
