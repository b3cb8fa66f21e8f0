// The configuration inside the real main window against hlx-sim over TCP:
// what the tabs show of the device, the exact commands edits send, a
// read-back restoring every control, the filter grid, capture, the factory
// reset, configuration files and the statistics window.

#include "WindowHarness.h"
#include "config/ConfigFile.h"
#include "config/FilterList.h"
#include "window/StatsWindow.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// "name=value" as the user sees it: a list's text, a box's tick, an edit's text.
QString Shows(const QWidget* w) {
  if (auto* cb = qobject_cast<const QComboBox*>(w)) return w->objectName() + '=' + cb->currentText();
  if (auto* box = qobject_cast<const QCheckBox*>(w))
    return w->objectName() + (box->isChecked() ? "=on" : "=off");
  return w->objectName() + '=' + static_cast<const QLineEdit*>(w)->displayText();
}

// Every setting control of the two setting tabs.
QStringList Snapshot(const WindowHarness& h) {
  QStringList out;
  for (const char* page : {"InOutPage", "OptionsPage"})
    for (const QWidget* c : h.Find<QWidget>(page)->findChildren<QWidget*>())
      if (c->inherits("QComboBox") || c->inherits("QCheckBox") || c->inherits("QLineEdit")) out << Shows(c);
  return out;
}

}  // namespace

class ConfigWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_work;

  // The simulator with two rules of its own and output 2 at its second speed,
  // connected over TCP; gives its factory configuration (empty on failure).
  static QStringList ConnectWithTwoRules(WindowHarness& h, const QStringList& args = {}) {
    if (!h.Start(args)) return {};
    const QStringList factory = h.sim->queryConfig();
    for (const char* command : {"PQVXSP,C,1,1,1,1,1", "PQVXOP,C,00000000", "PQVXFL,C,DELETE",
                                "PQVXFL,C,HCHDG,100010,,1100", "PQVXFL,C,GPRMC,110000,2,1010"})
      if (!h.sim->sendCommand(QString::fromLatin1(command), 20)) return {};
    return h.ConnectTcp() ? factory : QStringList{};
  }

 private slots:
  // Option bits go by number; only priority off sends the whole word.
  void tabsShowTheDeviceAndEditsReachItAndSurviveAReadBack() {
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "0"}), qPrintable(h.Why()));
    for (const char* command : {"PQVXCF,C,,10101,4", "PQVXDR,C,10000,2,00001,0", "PQVXID,C,GP,II,,HE,XX",
                                "PQVXSP,C,0,1,2,3,5", "PQVXOP,C,00041A05", "PQVXIN,C,0,5,3,1"})
      QVERIFY(h.sim->sendCommand(QString::fromLatin1(command), 20));
    QVERIFY(h.ConnectTcp());
    // 0x41A05: bits 0, 2, 9, 11, 12, 18.
    const QStringList expected = {"cbBaudIn1=4800",      "cbBaudIn3=19200",       "cbBaudIn4=38400",
                                  "cbBaudOut1=38400",    "cbBaudOut2=115200",     "chbRTime1=on",
                                  "chbRTime2=off",       "chbRTime5=on",          "chbRouteIn1Out1=on",
                                  "chbRouteIn5Out2=on",  "cbModeOut1=Override",   "cbModeIn2=Plain Text",
                                  "edtTalkID1=GP",       "edtTalkID3=--",         "chbPriority=on",
                                  "chbPrioGPSStatus=on", "cbPrioTimeout=10 sec.", "cbPrioSeatalk=",
                                  "chbChanSTN=on",       "chbChanTAG=on",         "chbTime=on",
                                  "chbHDGConv=off",      "cbModeFilter=Block"};
    QStringList shown;
    for (const QString& e : expected) shown << Shows(h.Find<QWidget>(qPrintable(e.section('=', 0, 0))));
    QCOMPARE(shown, expected);
    QCOMPARE(h.Find<QLineEdit>("edtTalkID3")->text(), QString());  // "--" only marks it empty
    QVERIFY(h.Find<QLineEdit>("edtTalkID2")->isHidden() && !h.Find<QLineEdit>("edtTalkID1")->isHidden());
    QVERIFY(!h.Combo("cbPrioSeatalk")->isEnabled());

    const int before = h.Recorded().size();
    h.Choose("cbBaudOut1", 4);
    QCOMPARE(h.Combo("cbBaudIn4")->currentText(), QStringLiteral("57600"));  // one speed for both
    for (const char* box : {"chbRTime2", "chbRouteIn2Out1", "chbHDGConv", "chbNmeaV15"})
      h.Check(box)->click();
    h.Choose("cbPrioTimeout", 5);
    // A talker turns yellow only when its text changes, and is sent on Return.
    QLineEdit* talker = h.Find<QLineEdit>("edtTalkID1");
    const QColor normal = talker->palette().color(QPalette::Base);
    talker->setFocus();
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Left, Qt::Key_Right, Qt::Key_Shift, Qt::Key_Home})
      QTest::keyClick(talker, key);
    QCOMPARE(talker->palette().color(QPalette::Base), normal);
    talker->setFocus();
    talker->selectAll();
    QTest::keyClicks(talker, QStringLiteral("XY"));
    QCOMPARE(talker->palette().color(QPalette::Base), QColor(Qt::yellow));
    QTest::keyClick(talker, Qt::Key_Return);
    QCOMPARE(talker->palette().color(QPalette::Base), normal);
    // Priority off disables what depends on it; on again shows the kept timeout.
    h.Check("chbPriority")->click();
    QVERIFY(!h.Combo("cbPrioTimeout")->isEnabled() && !h.Check("chbPrioGPSStatus")->isChecked());
    QCOMPARE(h.Combo("cbPrioTimeout")->currentIndex(), -1);
    h.Check("chbPriority")->click();
    QCOMPARE(h.Combo("cbPrioTimeout")->currentText(), QStringLiteral("30 sec."));
    QVERIFY(!h.Combo("cbPrioSeatalk")->isEnabled());
    // SeaTalk on In4 locks the speed In4 shares with Out1 and offers SeaTalk priority.
    h.Choose("cbModeIn4", 6);
    QCOMPARE(h.Combo("cbBaudIn4")->currentText(), QStringLiteral("4800"));
    QVERIFY(!h.Combo("cbBaudIn4")->isEnabled() && !h.Combo("cbBaudOut1")->isEnabled());
    QVERIFY(!h.Find<QLineEdit>("edtTalkID4")->isHidden() && h.Combo("cbPrioSeatalk")->isEnabled());
    h.Choose("cbPrioSeatalk", 1);
    const QStringList edits = {
        "$PQVXSP,C,0,1,2,4,5*7D",    "$PQVXCF,C,,11101*55",   "$PQVXDR,C,11000,2,00001,0*75",
        "$PQVXOP,C,6,1*78",          "$PQVXOP,C,13,1*4C",     "$PQVXCF,C,,,5*7C",
        "$PQVXID,C,XY,II,,HE,XX*4D", "$PQVXOP,C,00043A40*21", "$PQVXOP,C,0,1*7E",
        "$PQVXIN,C,0,5,3,6*67",      "$PQVXOP,C,1,1*7F"};
    QTRY_COMPARE(h.Recorded().mid(before), edits);

    // Read the device again: only the two queries go out, and every control
    // comes back as it was.
    const QStringList edited = Snapshot(h);
    QVERIFY(edited.size() > 40);
    QVERIFY(edited.contains(QStringLiteral("edtTalkID1=XY")));
    h.Click("btnReadConfig");
    QVERIFY(h.WaitReadBack(2));
    QCOMPARE(h.Recorded().mid(before + edits.size()), kReadQueries);
    QCOMPARE(Snapshot(h), edited);
  }

  // Stop, or a factory reset even when declined, ends a capture and gives the
  // device its own option word back.
  void captureAndFactoryReset() {
    WindowHarness h;
    const QStringList factory = ConnectWithTwoRules(h, {"--traffic", "50"});
    QVERIFY2(!factory.isEmpty(), qPrintable(h.Why()));
    SimProcess& sim = *h.sim;
    QCOMPARE(h.Combo("cbBaudOut2")->currentIndex(), 1);
    QCOMPARE(h.Rules(), 2);
    const QString capture = QStringLiteral("$PQVXOP,C,12,1*4D");
    const QString own = QStringLiteral("$PQVXOP,C,00000000*53");

    h.Click("btnFilterCapture");
    QCOMPARE(h.Button("btnFilterCapture")->text(), QStringLiteral("Stop"));
    QVERIFY(h.Button("btnFilterCapture")->isEnabled());
    QVERIFY(!h.Button("btnReadConfig")->isEnabled() && !h.SettingsEnabled());
    QTRY_COMPARE(h.Sent("$PQVXOP"), QStringList{capture});
    QTRY_VERIFY(h.Rules() > 2);  // tagged traffic adds its addresses
    h.Click("btnFilterCapture");
    QCOMPARE(h.State(), SessionState::Idle);
    QCOMPARE(h.Button("btnFilterCapture")->text(), QStringLiteral("Capture"));
    QVERIFY(h.Button("btnReadConfig")->isEnabled() && h.SettingsEnabled());
    QTRY_COMPARE(h.Sent("$PQVXOP"), (QStringList{capture, own}));

    // Declined during a capture: the capture ends before the device is read
    // again, so the TAG setting read back is the user's own (off).
    h.Click("btnFilterCapture");
    QCOMPARE(h.State(), SessionState::Capture);
    h.Trigger("miResetFactorySettings");  // answered No
    QVERIFY(h.WaitReadBack(2));
    QVERIFY(h.Sent("$PQVXRESET").isEmpty());
    QCOMPARE(h.Combo("cbBaudOut2")->currentIndex(), 1);
    QCOMPARE(h.Sent("$PQVXOP"), (QStringList{capture, own, capture, own}));
    QVERIFY(h.Recorded().lastIndexOf(own) < h.Recorded().lastIndexOf(QStringLiteral("$PQVXVER*4E")));
    QVERIFY(!h.Check("chbChanTAG")->isChecked());
    QCOMPARE(h.Button("btnFilterCapture")->text(), QStringLiteral("Capture"));
    QCOMPARE(h.Rules(), 2);  // the device's list again

    // Confirmed: the device and the window are as from the factory.
    h.prompts.yesNoAnswers.enqueue(true);
    h.Trigger("miResetFactorySettings");
    QVERIFY(h.prompts.records.last().text.startsWith(QLatin1String("This will restore the factory")));
    QVERIFY(h.WaitReadBack(3));
    QCOMPARE(h.Sent("$PQVXRESET"), QStringList{"$PQVXRESET,1*47"});
    QCOMPARE(sim.queryConfig(), factory);
    QCOMPARE(h.Rules(), factory.filter(QStringLiteral("$PQVXFL,R,")).size() - 1);
    QVERIFY(h.Combo("cbBaudOut2")->currentIndex() != 1);
  }

  // Grid edits reach the device only by Store.
  void filterGridEditsAreSentByStore() {
    WindowHarness h;
    QVERIFY2(!ConnectWithTwoRules(h).isEmpty(), qPrintable(h.Why()));
    SimProcess& sim = *h.sim;
    h.Find<QTabWidget>("PageControl")->setCurrentIndex(2);
    auto* grid = h.Find<TFilterGrid>("FilterGrid");
    QPushButton* del = h.Button("btnFilterDelEntry");
    QLineEdit* name = h.Find<QLineEdit>("edtFilter");
    const auto click = [&](int row, int column) {
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(row, column).center());
    };
    const auto editor = [&]() -> QLineEdit* {  // the in-place editor the user sees
      for (auto* e : grid->findChildren<QLineEdit*>("FilterGridEditor"))
        if (!e->isHidden()) return e;
      return nullptr;
    };
    const auto add = [&](const QString& text) {
      QTest::keyClicks(name, text);
      QTest::keyClick(name, Qt::Key_Return);
    };
    const int before = h.Recorded().size();
    click(0, 2);  // In1 of the first rule
    QVERIFY(!del->isEnabled());
    click(1, FcDiv);
    QVERIFY(editor() && del->isEnabled());
    QTest::keyClicks(editor(), "7");
    QTest::keyClick(editor(), Qt::Key_Escape);
    QVERIFY(!editor());
    click(1, FcDiv);
    QCOMPARE(editor()->text(), QStringLiteral("2"));  // as before the Escape
    editor()->selectAll();
    QTest::keyClicks(editor(), "15");
    QTest::keyClick(editor(), Qt::Key_Return);
    QTest::keyClicks(name, "gprm");
    h.Click("btnFilterAdd");
    add(QStringLiteral("gp---"));
    QVERIFY(name->text().isEmpty());
    add(QStringLiteral("gp=rm"));  // a configuration file could not keep it
    QCOMPARE(h.Rules(), 3);
    QCOMPARE_STEADY(h.Recorded().size(), before, 100);  // editing sends nothing until "Store"
    h.Click("btnFilterStore");
    QTRY_COMPARE(h.Recorded().mid(before),
                 (QStringList{"$PQVXFL,C,DELETE*5F", "$PQVXFL,C,HCHDG,110010,,1100*2B",
                              "$PQVXFL,C,GPRMC,110000,15,1010*25", "$PQVXFL,C,GP---,000000,,0000*50"}));
    // The device lists the rules back with their fields in the same order.
    const QRegularExpression stored(QStringLiteral("^\\$PQVXFL,R,GPRMC,110000,15,1010\\*"));
    QCOMPARE(sim.queryConfig().filter(stored).size(), 1);

    // Delete takes the selected rule and moves the later ones up.
    for (auto [row, column, name] : {std::tuple{1, FcDiv, ""}, {0, FcName, "HCHDG"}, {0, FcName, "GP---"}}) {
      click(row, column);
      if (*name) QCOMPARE(editor()->text(), QString::fromLatin1(name));
      QTest::keyClick(editor(), Qt::Key_Escape);
      QTest::mouseClick(del, Qt::LeftButton);
    }
    QCOMPARE(h.Rules(), 0);
    QVERIFY(!del->isEnabled());
    for (int i = 1; i <= kMaxFilterRules; ++i) add(QStringLiteral("X%1").arg(i, 4, 10, QLatin1Char('0')));
    QCOMPARE(h.Rules(), kMaxFilterRules);
    QTest::keyClicks(name, "ab");
    h.Click("btnFilterAdd");
    const QString badName =
        QStringLiteral("Filter sentence must be 5 characters. Use '-' as wildcard character");
    QCOMPARE(h.prompts.texts(), (QStringList{badName, badName, "Filter list is full"}));
    QCOMPARE(h.Recorded().size(), before + 4);
  }

  // Then the statistics toggle and the reports in the bars.
  void loadSendsWhatTheFileHoldsInOrderAndOnlyWhatFits() {
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "0", "--stat-period", "100"}), qPrintable(h.Why()));
    QVERIFY(h.ConnectTcp());
    int before = h.Recorded().size();
    // A file that cannot be read changes nothing.
    const int rules = h.Rules();
    h.Trigger("miLoad", m_work.path());
    QCOMPARE(h.prompts.records.last().text, QStringLiteral("Unable to read ") + m_work.path());
    QCOMPARE_STEADY(h.Recorded().size(), before, 100);  // loading sends at once, if at all
    QVERIFY(rules > 0 && h.Rules() == rules);
    QCOMPARE(h.Panel(3), QStringLiteral("Config file:"));

    // A file from elsewhere: LF endings, keys in another case and order, no
    // "Baud Out2" (defaults to 38400), a filter line without commas.
    const QString file = m_work.filePath(QStringLiteral("load.ini"));
    WriteText(file,
              "[Notes]\nowner=me\n"
              "[configuration]\noptions=0000a041\nBAUD IN1=1\nBaud In2=2\nBaud In4/Out1=4\n"
              "Priority Timeout=2\nRealTime Ch.2=1\nRealTime Conv=1\nTalker ID1=AB\nTalker ID3=XYZ\n"
              "Route 11=1\nRoute 22=1\nRoute Conv2=1\nMode In1=1\nMode Out1=2\nMode Out2=1\n"
              "[Filter]\nGPRMC=110000,2,1010\nGPGGA=111111\nIIMWV=000011,,0001\n");
    h.Trigger("miLoad", file);
    const QStringList loaded = {
        "$PQVXCF,C,,01001,2*4B", "$PQVXSP,C,1,2,0,4,3*7B",           "$PQVXIN,C,1,0,0,0*66",
        "$PQVXID,C,AB,,XY,,*43", "$PQVXDR,C,10000,2,01001,1*74",     "$PQVXOP,C,0000A041*27",
        "$PQVXFL,C,DELETE*5F",   "$PQVXFL,C,GPRMC,110000,2,1010*13", "$PQVXFL,C,IIMWV,000011,,0001*27"};
    QTRY_COMPARE(h.Recorded().mid(before), loaded);
    QCOMPARE(h.Panel(3), QStringLiteral("Config file: ") + file);
    QCOMPARE(h.Rules(), 2);

    // A value out of range takes its default and is reported in the log (the
    // values themselves are ConfigFile's: tst_config).
    before = h.Recorded().size();
    WriteText(file, "[Configuration]\r\nBaud In1=-6\r\n");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Baud In1=-6 is out of range")));
    h.Trigger("miLoad", file);
    QTRY_VERIFY(h.Recorded().size() >= before + 2);
    QCOMPARE(h.Recorded().at(before + 1), QStringLiteral("$PQVXSP,C,0,0,0,0,3*7C"));

    // Statistics: switched on and off at the device, the window placed right
    // of the main window showing its reports but the view never.
    TStats* stats = h.Find<TStats>("Stats");
    const auto bar = [stats](const char* name) { return stats->findChild<QProgressBar*>(name)->value(); };
    h.Trigger("miStats");
    QTRY_COMPARE(h.Sent(QStringLiteral("$PQVXSTAT")), QStringList{"$PQVXSTAT,1*00"});
    QVERIFY(h.Action("miStats")->isChecked() && stats->isVisible());
    QCOMPARE(stats->pos(), StatsPlacement(h.window->frameGeometry()));
    // The simulator reports a load of 350 to 410 with no traffic.
    QTRY_VERIFY(bar("CPULoad") >= 350);
    QVERIFY(bar("CPULoad") <= 410);
    QVERIFY(h.Shown().filter(QStringLiteral("PQVXSTAT")).isEmpty());
    h.Trigger("miStats");
    QTRY_COMPARE(h.Sent(QStringLiteral("$PQVXSTAT")), (QStringList{"$PQVXSTAT,1*00", "$PQVXSTAT,0*01"}));
    QVERIFY(!h.Action("miStats")->isChecked() && !stats->isVisible());

    // The bars: a report fills them while hidden too, out of range shows full,
    // a short report keeps the rest; showing starts from zero.
    QVERIFY(stats->windowFlags() & Qt::WindowStaysOnTopHint);
    stats->HandleSTATReply("$PQVXSTAT,12,0,63,5,2304*00\r\n");
    QStringList bars;  // "name value/maximum"
    for (const char* name : {"PeakQ1", "PeakQ2", "PeakQ3", "PeakQ4", "CPULoad"})
      bars << QStringLiteral("%1 %2/%3")
                  .arg(name)
                  .arg(bar(name))
                  .arg(stats->findChild<QProgressBar*>(name)->maximum());
    QCOMPARE(bars, (QStringList{"PeakQ1 12/63", "PeakQ2 0/63", "PeakQ3 63/63", "PeakQ4 5/63",
                                "CPULoad 2304/4608"}));
    stats->HandleSTATReply("$PQVXSTAT,900,7\r\n");
    QCOMPARE((QList<int>{bar("PeakQ1"), bar("PeakQ2"), bar("PeakQ3"), bar("CPULoad")}),
             (QList<int>{63, 7, 63, 2304}));
    stats->show();
    QCOMPARE((QList<int>{bar("PeakQ1"), bar("PeakQ2"), bar("CPULoad")}), (QList<int>{0, 0, 0}));
  }

  void savedFileKeepsForeignSectionsAndLoadsTheDeviceBack() {
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "0", "--name", "HLX-T", "--serial", "4242"}), qPrintable(h.Why()));
    SimProcess& sim = *h.sim;
    // Give the device a configuration of its own first (one rule per address:
    // a file holds one key per address).
    for (const char* command :
         {"PQVXSP,C,1,4,3,2,1", "PQVXFL,C,GPRMC,110000,2,1010", "PQVXFL,C,IIMWV,001100,,0101"})
      QVERIFY(sim.sendCommand(QString::fromLatin1(command)));
    const QStringList saved = sim.queryConfig();
    QVERIFY(h.ConnectTcp());

    // Save without a name asks for one; Save As proposes it afterwards.
    const QString file = m_work.filePath(QStringLiteral("saved.ini"));
    WriteText(file, "[Notes]\r\nowner=me\r\n[Filter]\r\nOLDXX=000000,,0000\r\n");
    h.Trigger("miSave", file);
    QCOMPARE(h.prompts.lastSaveFilter, 0);
    h.Trigger("miSaveAs");  // cancelled: the name stays
    QCOMPARE(h.prompts.records.size(), 2);
    const PromptRecord& proposed = h.prompts.records.last();
    QCOMPARE(proposed.kind + ' ' + proposed.text, QStringLiteral("save ") + file);
    // Foreign sections stay, the filter section is replaced, the header names
    // program and device; the values come back by loading the file below.
    const QString text = QString::fromLatin1(ReadAll(file));
    for (const char* part :
         {"owner=me", "HLX-Config=Halyx Configuration Tool V", "Device=HLX-T", "Serial Number=4242"})
      QVERIFY2(text.contains(QLatin1String(part)), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("OLDXX")));

    // Change the device behind the window's back, then load the file again.
    for (const char* command : {"PQVXSP,C,0,0,0,0,0", "PQVXFL,C,DELETE"})
      QVERIFY(sim.sendCommand(QString::fromLatin1(command)));
    QVERIFY(sim.queryConfig() != saved);
    h.Trigger("miLoad", file);
    QTRY_COMPARE(sim.queryConfig(), saved);
    // Save after Load: no dialog, same file.
    QFile::remove(file);
    h.Trigger("miSave");
    QCOMPARE(h.prompts.records.size(), 3);
    QVERIFY(ReadAll(file).contains("GPRMC=110000,2,1010"));

    // A failed save says so, and an old file stays as it was (where the
    // folder's rights hold: root writes anyway).
    const QString folder = m_work.filePath(QStringLiteral("locked"));
    const QString locked = folder + QStringLiteral("/keep.ini");
    QVERIFY(QDir(m_work.path()).mkdir(QStringLiteral("locked")));
    WriteText(locked, "[Notes]\r\nowner=me\r\n");
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    for (const QString& target : {m_work.filePath(QStringLiteral("no-such-folder/x.ini")), locked}) {
      if (target == locked && QFileInfo(folder).isWritable()) break;
      h.Trigger("miSaveAs", target);
      QCOMPARE(h.prompts.records.last().text, QStringLiteral("Unable to write to ") + target);
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(ReadAll(locked), QByteArray("[Notes]\r\nowner=me\r\n"));
  }
};

QTEST_MAIN(ConfigWindowTest)
#include "tst_configwindow.moc"
