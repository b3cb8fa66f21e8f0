// The configuration tabs inside the real main window against hlx-sim over
// TCP: edits reach the device, a read-back shows the same controls again, and
// the factory reset restores the device and the window.

#include <QAction>

#include "WindowHarness.h"
#include "config/ConfigPages.h"

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
  void declinedFactoryResetOnlyReadsBack();

 private:
  QCheckBox* Check(WindowHarness& h, const char* name) { return h.Find<QCheckBox>(name); }

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
  QCOMPARE(sim.recordedLines().mid(before + 6), (QStringList{Wire("PQVXVER"), Wire("PQVXCFQ")}));
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
  QCOMPARE(h.window->Pages().Rules().Count(), 0);

  h.prompts.yesNoAnswers.enqueue(true);
  h.Find<QAction>("miResetFactorySettings")->trigger();
  QVERIFY(h.prompts.records.last().text.startsWith(QStringLiteral("This will restore the factory settings")));
  QVERIFY(h.WaitReadBack(sim, 2));
  QCOMPARE(Sent(sim, QStringLiteral("$PQVXRESET")), QStringList{Wire("PQVXRESET,1")});
  QCOMPARE(sim.queryConfig(), factory);
  QCOMPARE(h.window->Pages().Rules().Count(), factory.filter(QStringLiteral("$PQVXFL,R,")).size() - 1);
  QVERIFY(h.Combo("cbBaudOut2")->currentIndex() != 1);
}

void ConfigWindowTest::declinedFactoryResetOnlyReadsBack() {
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "0"}), qPrintable(sim.errorText()));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXSP,C,1,1,1,1,1")));
  WindowHarness h;
  h.Create();
  QVERIFY(h.ConnectTcp(sim));
  h.Find<QAction>("miResetFactorySettings")->trigger();  // answered No
  QVERIFY(h.WaitReadBack(sim, 2));
  QVERIFY(Sent(sim, QStringLiteral("$PQVXRESET")).isEmpty());
  QCOMPARE(h.Combo("cbBaudOut2")->currentIndex(), 1);
}

QTEST_MAIN(ConfigWindowTest)
#include "tst_configwindow.moc"
