// The older generations' windows against hlx-sim of their generation on a
// pseudo-terminal. Generation 4: what each control puts on the wire and what
// the device then holds, the configuration read-back and the boxes it
// changes, the speed search, the filter list with the device, files and the
// timed log. Generations 1 to 3: what each window shows of the connected
// model, what its read-back sends back in the generation's CF order, and
// its capture and Store sentences.
#include "LegacyHarness.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// What a window says of a device it does not serve.
const QStringList kNotSuitable{
    "This version of HLXConfig is not suitable for the connected\n"
    "multiplexer. Please use a version below V3.00."};

// What the layout stretches into empty space: lists wider than a port name
// needs, groups taller than their contents, overflow lamps away from their labels.
QStringList Stretched(const LegacyHarness& h) {
  QStringList out;
  for (const char* name : {"cbPort", h.HostList()})
    if (h.Combo(name)->width() > 150)
      out << QStringLiteral("%1 %2 px wide").arg(name).arg(h.Combo(name)->width());
  for (const char* name : {"gbPort", "rgMode", "GroupBox5"})
    if (const auto* g = h.Find<QGroupBox>(name); g->height() > g->sizeHint().height() + 2)
      out << QStringLiteral("%1 %2 px high").arg(name).arg(g->height());
  for (const QLabel* label : h.Find<QGroupBox>("GroupBox5")->findChildren<QLabel*>()) {
    const auto* led = h.Find<TAMAdvLed>(qPrintable("ldOverflow" + label->text().right(1)));
    // From the lamp to the top of the label's text (a label centres its text).
    const int gap =
        label->geometry().center().y() - label->fontMetrics().height() / 2 - led->geometry().bottom();
    if (gap < 0 || gap > 6 || qAbs(label->geometry().center().x() - led->geometry().center().x()) > 3)
      out << QStringLiteral("lamp %1 px above %2").arg(gap).arg(label->text());
  }
  return out;
}

// "options: boxes | groups | modes | grid column widths and sentence header"; the
// options group "fits" when each box it shows is whole inside it, else "clipped";
// what stretched is added at the end.
QString Layout(const LegacyHarness& h) {
  QWidget* w = h.window.get();
  const QStringList stretched = Stretched(h);
  const auto* group = h.Find<QGroupBox>(h.generation <= 2 ? "gbConfig" : "gbOptions");
  QStringList boxes;
  bool fits = true;
  for (const char* name :
       {"chbPriority", "chbChannelNo", "chbChannelID", "chbHDGXlate", "chbSeaTalk", "chbAIS"}) {
    const QCheckBox* box = h.Check(name);
    if (!box->isVisibleTo(w)) continue;
    boxes << box->text();
    fits = fits && group->contentsRect().contains(box->geometry()) &&
           box->height() >= box->minimumSizeHint().height();
  }
  const QString height = fits ? QStringLiteral("fits") : QStringLiteral("clipped");
  QStringList groups;
  for (const char* name : {"gbRealTime", "gbTalkerID", "gbFilter"})
    if (h.Find<QGroupBox>(name)->isVisibleTo(w)) groups << QString::fromLatin1(name);
  if (h.Action("miOpen")->isVisible() && h.Action("miSaveAs")->isVisible()) groups << QStringLiteral("files");
  QStringList modes, widths;
  for (int c = 0; c < h.Grid()->columnCount(); ++c) widths << QString::number(h.Grid()->columnWidth(c));
  for (const char* name : {"rbServer", "rbHub", "rbAuto", "rbAIS"})
    if (h.Find<QRadioButton>(name)->isVisibleTo(w)) modes << h.Find<QRadioButton>(name)->text();
  return QStringLiteral("%1: %2 | %3 | %4 | grid %5 %6")
             .arg(group->isVisibleTo(w) ? height : QStringLiteral("-"), boxes.join(QStringLiteral(", ")),
                  groups.join(u' '), modes.join(QStringLiteral(", ")), widths.join(u' '),
                  h.Grid()->item(0, 5)->text()) +
         (stretched.isEmpty() ? QString() : " | stretched: " + stretched.join(QStringLiteral(", ")));
}

}  // namespace

class LegacyWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void readConfigurationShowsTheDeviceAndSendsChangedBoxesBack() {
    LegacyHarness h;
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    QCOMPARE(h.Sent("$PQVX").mid(0, 4),
             (QStringList{"$PQVXVER*4E", "$PQVXCFQ*5B", "$PQVXIDQ*53", "$PQVXSPQ*5D"}));
    QCOMPARE(h.window->windowTitle(),
             QStringLiteral("Halyx Configuration Tool V") + ProgramVersion() + " (V3.13)");
    QTRY_COMPARE((QStringList{h.Panel(0), h.Panel(1), h.Panel(2)}),
                 (QStringList{"Device: HLX2000", "Version: 2.12.0", "Serial: 20261206"}));
    // The factory settings: Server, HDG --> HDT, real-time In 2; In 3 at 9600, In 4 at 38400, Out 2 at 9600.
    QTRY_VERIFY(h.Check("chbHDGXlate")->isChecked());
    QVERIFY(h.Find<QRadioButton>("rbServer")->isChecked());
    QVERIFY(h.Check("chbRTime2")->isChecked() && !h.Check("chbPriority")->isChecked());
    QCOMPARE(h.Combo("cbBaudHost")->currentIndex(), 3);
    QStringList speeds;
    for (const char* cb : {"cbBaudIn1", "cbBaudIn2", "cbBaudIn3", "cbBaudIn4", "cbBaudOut2"})
      speeds << h.Combo(cb)->currentText();
    QCOMPARE(speeds, (QStringList{"4800", "4800", "9600", "38400", "9600"}));
    // Every box and the mode the reply changed went back to the device; nothing else did.
    QTRY_COMPARE(h.SentSince(4),
                 (QStringList{"$PQVXCF,,0*3A", "$PQVXCF,,,,,,0100*0B", "$PQVXCF,,,,,,,1*17"}));
    QCOMPARE(h.Sent("$PQVXVER").size(), 1);
    QCOMPARE(h.restarts, 0);
  }

  void controlSendsItsCommandAndTheDeviceKeepsIt_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QString>("held");
    QTest::newRow("Priority") << "click chbPriority" << QStringList{"$PQVXCF,,,,1*3B"}
                              << QByteArray("PQVXCFQ") << "$PQVXCF,3,0,0,1,0,0100,1,0";
    QTest::newRow("SeaTalk") << "click chbSeaTalk" << QStringList{"$PQVXCF,,,1*17"} << QByteArray("PQVXCFQ")
                             << "$PQVXCF,3,0,1,0,0,0100,1,0";
    QTest::newRow("Channel Numbers") << "click chbChannelNo" << QStringList{"$PQVXCF,,,,,1*17"}
                                     << QByteArray("PQVXCFQ") << "$PQVXCF,3,0,0,0,1,0100,1,0";
    QTest::newRow("HDG off") << "click chbHDGXlate" << QStringList{"$PQVXCF,,,,,,,0*16"}
                             << QByteArray("PQVXCFQ") << "$PQVXCF,3,0,0,0,0,0100,0,0";
    QTest::newRow("real-time In 1") << "click chbRTime1" << QStringList{"$PQVXCF,,,,,,1100*0A"}
                                    << QByteArray("PQVXCFQ") << "$PQVXCF,3,0,0,0,0,1100,1,0";
    QTest::newRow("mode Hub") << "click rbHub" << QStringList{"$PQVXCF,,1*3B"} << QByteArray("PQVXCFQ")
                              << "$PQVXCF,3,1,0,0,0,0100,1,0";
    QTest::newRow("AIS sets In 1 to 38400")
        << "click chbAIS" << QStringList{"$PQVXCF,,,,,,,,1*3B", "$PQVXSP,3*13"} << QByteArray("PQVXSPQ")
        << "$PQVXSP,3,0,1,3,1";
    QTest::newRow("NMEA port speeds") << "choose cbBaudIn1 2" << QStringList{"$PQVXSP,2,0,1,3,1*11"}
                                      << QByteArray("PQVXSPQ") << "$PQVXSP,2,0,1,3,1";
    QTest::newRow("talker IDs") << "ids GP,,II," << QStringList{"$PQVXID,GP,,II,*15"} << QByteArray("PQVXIDQ")
                                << "$PQVXID,GP,,II,";
    QTest::newRow("host speed, and the link follows")
        << "choose cbBaudHost 1" << QStringList{"$PQVXCF,1*17"} << QByteArray("PQVXCFQ")
        << "$PQVXCF,1,0,0,0,0,0100,1,0";
  }
  void controlSendsItsCommandAndTheDeviceKeepsIt() {
    QFETCH(QString, action);
    QFETCH(QStringList, wire);
    QFETCH(QByteArray, query);
    QFETCH(QString, held);
    LegacyHarness h;
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    QTRY_COMPARE(h.SentCount(), 7);  // the queries and the boxes the reply changed
    const QStringList a = action.split(u' ');
    if (a[0] == QStringLiteral("click")) {
      h.Click(qPrintable(a[1]));
    } else if (a[0] == QStringLiteral("choose")) {
      h.Choose(qPrintable(a[1]), a[2].toInt());
    } else {
      const QStringList ids = a[1].split(u',');
      int i = 0;
      for (const char* e : {"edtTalkID1", "edtTalkID2", "edtTalkID3", "edtTalkID4"})
        h.Edit(e)->setText(ids[i++]);
      h.Click("btnSetID");
    }
    QTRY_COMPARE(h.SentSince(7), wire);
    QCOMPARE(h.Ask(query, QString::fromLatin1(query.left(6)).prepend(u'$')), QStringList{held});
    if (a[1] == QStringLiteral("cbBaudHost")) {
      // Device and port both at 9600 now: a second read-back gets through.
      h.Click("btnGetConfig");
      QTRY_COMPARE(h.Sent("$PQVXVER").size(), 2);
      QTRY_VERIFY(h.Check("chbPriority")->isEnabled());
      QVERIFY(!h.prompts.texts(u"inform").contains(QStringLiteral("Multiplexer does not respond")));
    }
  }

  void silentDeviceLeavesTheSettingsDisabled() {
    LegacyHarness h;
    QVERIFY2(h.Start({"--silent"}, false), qPrintable(h.Why()));
    h.Click("btnGetConfig");
    QVERIFY(!h.Check("chbPriority")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(h.prompts.texts(u"inform"), QStringList{"Multiplexer does not respond"}, 5000);
    QVERIFY(!h.Check("chbPriority")->isEnabled() && !h.Combo("cbBaudIn1")->isEnabled());
  }

  void portThatCannotOpenIsDeselectedAndRemembered() {
    LegacyHarness h;
    const QString gone = h.files.filePath(QStringLiteral("ttyGone"));
    qputenv("HLX_EXTRA_PORTS", gone.toLocal8Bit());
    h.window = std::make_unique<legacy::TLegMainForm4>(h.prompts);
    h.window->show();
    h.Choose("cbPort", h.Combo("cbPort")->findText(gone));
    QCOMPARE(h.prompts.texts(u"inform"), QStringList{"Cannot open communication channel to multiplexer"});
    QCOMPARE(h.Combo("cbPort")->currentIndex(), -1);
    QCOMPARE(Settings().value("Port").toInt(), 1);  // no selection, stored as index + 2
  }

  void speedSearch_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("found");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("device at 9600") << QStringList{"--host-speed", "1"} << 1 << QStringList{};
    QTest::newRow("silent device") << QStringList{"--silent"} << 0
                                   << QStringList{"Multiplexer does not respond"};
  }
  void speedSearch() {
    QFETCH(QStringList, args);
    QFETCH(int, found);
    QFETCH(QStringList, messages);
    LegacyHarness h;
    QVERIFY2(h.Start(args, false), qPrintable(h.Why()));
    h.Choose("cbBaudHost", 4);
    QVERIFY(!h.Combo("cbPort")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(h.Combo("cbPort")->isEnabled(), 5000);
    QCOMPARE(h.Combo("cbBaudHost")->currentIndex(), found);
    QCOMPARE(h.prompts.texts(u"inform"), messages);
    // Only the query sent at the device's own speed reached it.
    QCOMPARE(h.Sent("$PQVXVER"), QStringList{"$PQVXVER*4E"});
  }

  void filterStoreLoadAndCapture() {
    LegacyHarness h;
    QVERIFY2(h.Start({"--traffic", "40", "--ov-period", "0", "--udp-peer", SimProcess::quietUdpPeer()}),
             qPrintable(h.Why()));
    h.Edit("edtFilter")->setText(QStringLiteral("gprmc"));
    h.Click("btnAddFilter");
    h.ClickCell(1, 1);  // In 1 passes
    QCOMPARE(h.Rows(), QStringList{"GPRMC 01000 "});
    h.Click("btnUpdate");
    QTRY_COMPARE(h.Sent("$PQVXFL"), (QStringList{"$PQVXFL*05", "$PQVXFL,GPRMC,01000,*53"}));
    QCOMPARE(h.Ask("PQVXFLQ", "$PQVXFL", 2), (QStringList{"$PQVXFL,GPRMC,01000,", "$PQVXFL,"}));

    h.Click("btnClear");
    QCOMPARE(h.Rows(), QStringList{});
    h.Click("btnRetrieve");
    QTRY_COMPARE(h.Rows(), QStringList{"GPRMC 01000 "});
    QTRY_VERIFY(h.Button("btnRetrieve")->isEnabled());

    h.Click("btnCapture");
    QTRY_COMPARE(h.Sent("$PQVXCF,,,,,1"), QStringList{"$PQVXCF,,,,,1*17"});
    QCOMPARE(h.Button("btnCapture")->text(), QStringLiteral("Stop"));
    QVERIFY(!h.Button("btnUpdate")->isEnabled() && !h.Check("chbPriority")->isEnabled());
    // Compass on In 2, wind instruments on In 3, AIS on In 4; GPRMC from In 1 is already listed.
    for (const char* row : {"HCHDG 00100 ", "IIMWV 00010 ", "AIVDM 00001 "})
      QTRY_VERIFY2_WITH_TIMEOUT(h.Rows().contains(QLatin1String(row)), qPrintable(h.Rows().join(u'|')),
                                10000);
    QCOMPARE(h.Rows().first(), QStringLiteral("GPRMC 01000 "));
    h.Click("btnCapture");
    QTRY_COMPARE(h.Sent("$PQVXCF,,,,,0"), QStringList{"$PQVXCF,,,,,0*16"});
    QCOMPARE(h.Button("btnCapture")->text(), QStringLiteral("Capture"));
    QVERIFY(h.Button("btnUpdate")->isEnabled() && h.Check("chbPriority")->isEnabled());
  }

  void closingDuringACaptureRestoresChannelNumbers() {
    LegacyHarness h;
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    h.Click("btnCapture");
    QTRY_COMPARE(h.Sent("$PQVXCF,,,,,1"), QStringList{"$PQVXCF,,,,,1*17"});
    h.window->close();
    QTRY_COMPARE(h.Sent("$PQVXCF,,,,,0"), QStringList{"$PQVXCF,,,,,0*16"});
    QCOMPARE(h.Ask("PQVXCFQ", "$PQVXCF"), QStringList{"$PQVXCF,3,0,0,0,0,0100,1,0"});
  }

  void loadWithoutEndMarkerGivesUpAndKeepsEntries() {
    LegacyHarness h;
    QVERIFY2(h.Start({"--no-list-end"}), qPrintable(h.Why()));
    h.Click("btnRetrieve");
    QTRY_COMPARE(h.Rows(), (QStringList{"GPGSV 10000 ", "HCHDG 11100 2"}));
    QVERIFY(!h.Button("btnRetrieve")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(h.prompts.texts(u"inform"), QStringList{"Multiplexer does not respond"}, 5000);
    QVERIFY(h.Button("btnRetrieve")->isEnabled());
    QCOMPARE(h.Rows().size(), 2);
  }

  void savedFileLoadsBackAndSendsTheBoxesItChanges() {
    LegacyHarness h;
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    QTRY_COMPARE(h.SentCount(), 7);
    h.Edit("edtFilter")->setText(QStringLiteral("GPGGA"));
    h.Click("btnAddFilter");
    h.Edit("edtTalkID3")->setText(QStringLiteral("II"));
    const QString name = h.files.filePath(QStringLiteral("boat.hlx"));
    h.Trigger("miSaveAs", name);
    QCOMPARE(h.Panel(3), QStringLiteral("Config file: ") + name);
    QCOMPARE(
        ReadAll(name),
        QByteArray("[Configuration]\r\nPriority=0\r\nChannel Numbers=0\r\nHDG Translation=1\r\nAIS Mode=0\r\n"
                   "SeaTalk=0\r\nMode=0\r\nRealTime Ch.1=0\r\nRealTime Ch.2=1\r\nRealTime Ch.3=0\r\n"
                   "RealTime Ch.4=0\r\nTalker ID1=\r\nTalker ID2=\r\nTalker ID3=II\r\nTalker ID4=\r\n"
                   "Baud In1=0\r\nBaud In2=0\r\nBaud In3=1\r\nBaud In4/Out1=3\r\nBaud Out2=1\r\n"
                   "[Filter]\r\nGPGGA=00000,\r\n"));

    for (const char* box : {"chbRTime1", "rbHub", "chbSeaTalk", "chbPriority"}) h.Click(box);
    h.Choose("cbBaudIn1", 3);
    h.Click("btnClear");
    h.Edit("edtTalkID3")->clear();
    QTRY_COMPARE(h.SentCount(), 12);
    h.Trigger("miOpen", name);
    // What changes back is sent in the order of the file's keys; the speed list and the talker ID are
    // only shown.
    QTRY_COMPARE(h.SentSince(12),
                 (QStringList{"$PQVXCF,,,,0*3A", "$PQVXCF,,,0*16", "$PQVXCF,,0*3A", "$PQVXCF,,,,,,0100*0B"}));
    QCOMPARE(h.Combo("cbBaudIn1")->currentIndex(), 0);
    QCOMPARE(h.Edit("edtTalkID3")->text(), QStringLiteral("II"));
    QCOMPARE(h.Rows(), QStringList{"GPGGA 00000 "});
    QCOMPARE_STEADY(h.SentCount(), 16, 100);  // nothing more: what loading sends goes at once
  }

  void capabilityWord_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("hostSpeedEnabled");
    QTest::addColumn<int>("hostSpeed");
    QTest::addColumn<bool>("warned");
    QTest::newRow("serial host port") << QStringList{"--caps", "8000"} << true << 3 << false;
    QTest::newRow("USB host port: speed fixed, CF leaves it")
        << QStringList{"--caps", "8001"} << false << 4 << false;
    QTest::newRow("bit 15 clear") << QStringList{"--caps", "0001"} << true << 3 << true;
    QTest::newRow("not hexadecimal") << QStringList{"--ver-garbage"} << true << 3 << true;
    QTest::newRow("five characters: not evaluated") << QStringList{"--caps", "80011"} << true << 3 << false;
  }
  void capabilityWord() {
    QFETCH(QStringList, args);
    QFETCH(bool, hostSpeedEnabled);
    QFETCH(int, hostSpeed);
    QFETCH(bool, warned);
    LegacyHarness h;
    QVERIFY2(h.Start(args), qPrintable(h.Why()));
    QTRY_COMPARE(h.SentCount(), 7);
    QCOMPARE(h.Combo("cbBaudHost")->isEnabled(), hostSpeedEnabled);
    QCOMPARE(h.Combo("cbBaudHost")->currentIndex(), hostSpeed);
    QCOMPARE(h.prompts.texts(u"inform"), warned ? kNotSuitable : QStringList{});
    if (warned) QCOMPARE(h.prompts.records.first().caption, QStringLiteral("HLXConfig"));
  }

  void trafficFillsTheMonitorAndLightsTheOverflowLeds() {
    LegacyHarness h;
    QVERIFY2(h.Start({"--traffic", "50", "--ov-period", "1000", "--udp-peer", SimProcess::quietUdpPeer()}),
             qPrintable(h.Why()));
    auto* monitor = h.Find<QPlainTextEdit>("RXData");
    QTRY_COMPARE(monitor->blockCount(), 13);
    // The monitor keeps its 13 lines: at 50 lines a second, 100 ms bring several more.
    QCOMPARE_STEADY(monitor->blockCount(), 13, 100);
    QVERIFY(!monitor->toPlainText().contains(u'\r'));
    QTRY_VERIFY_WITH_TIMEOUT(h.Leds() != QStringLiteral("0000"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(h.Leds(), QStringLiteral("0000"), 2000);
  }

  void filterGridEditing() {
    LegacyHarness h;
    QVERIFY2(h.Start({}, false), qPrintable(h.Why()));
    for (const char* text : {"RMC", "GP,MC", "gprmc"}) {
      h.Edit("edtFilter")->setText(QString::fromLatin1(text));
      QTest::keyClick(h.Edit("edtFilter"), Qt::Key_Return);
    }
    QCOMPARE(h.prompts.texts(u"inform"),
             QStringList(2, "Filter sentence must be 5 characters. Use '-' as wildcard character"));
    QCOMPARE(h.Rows(), QStringList{"GPRMC 00000 "});
    // Div in place: up to two digits.
    legacy::TLegFilterGrid* g = h.Grid();
    g->setCurrentCell(1, 6);
    g->editItem(g->item(1, 6));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1x23"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(h.Rows(), QStringList{"GPRMC 00000 12"});
    h.ClickCell(1, 0);  // the PC flag
    h.ClickCell(1, 0);
    h.ClickCell(1, 4);
    QCOMPARE(h.Rows(), QStringList{"GPRMC 00001 12"});
    QVERIFY(!h.Button("btnDelete")->isEnabled());
    h.ClickCell(1, 5);
    QVERIFY(h.Button("btnDelete")->isEnabled());
    h.Click("btnDelete");
    QCOMPARE(h.Rows(), QStringList{});
    QVERIFY(!h.Button("btnDelete")->isEnabled());
    // More entries than fit: the header row stays in place and a click on it selects nothing.
    for (int i = 1; i <= 40; ++i) {
      h.Edit("edtFilter")->setText(QStringLiteral("A%1").arg(i, 4, 10, QChar(u'0')));
      h.Click("btnAddFilter");
    }
    g->scrollToTop();
    const QRect headerRow(g->frameWidth(), g->frameWidth(), 120, 16);
    const QImage top = g->grab(headerRow).toImage();
    g->scrollToBottom();
    QVERIFY(g->verticalScrollBar()->value() > 0);
    QCOMPARE(g->grab(headerRow).toImage(), top);
    const QStringList rows = h.Rows();
    QWidget* under = g->childAt(headerRow.center());
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(g, headerRow.center()));
    QCOMPARE(g->currentRow(), 40);
    QCOMPARE(h.Rows(), rows);
  }

  void fullDiskStopsTheLogAndSaysWhy() {
    LegacyHarness h;
    QVERIFY2(h.Start({}, false), qPrintable(h.Why()));
    h.Trigger("miStartLog", QStringLiteral("/dev/full"));
    QVERIFY(h.Action("miStopLog")->isEnabled());
    h.Click("btnGetConfig");
    QTRY_COMPARE(h.prompts.texts(u"inform").size(), 1);
    QVERIFY2(h.prompts.texts(u"inform").first().contains(QStringLiteral("space"), Qt::CaseInsensitive),
             qPrintable(h.prompts.texts(u"inform").first()));
    QVERIFY(h.Action("miStartLog")->isEnabled() && !h.Action("miStopLog")->isEnabled());
    QCOMPARE(h.Panel(4), QStringLiteral("Log: 1 lines"));  // the count of the failed line stays
  }

  void timedLogStampsEveryReceivedLine() {
    LegacyHarness h;
    QVERIFY2(h.Start({}, false), qPrintable(h.Why()));
    const QString name = h.files.filePath(QStringLiteral("traffic.txt"));
    h.Trigger("miTimedLog", name);
    QCOMPARE(h.prompts.lastSaveFilter, 1);
    QVERIFY(!h.Action("miStartLog")->isEnabled() && h.Action("miStopLog")->isEnabled());
    h.Click("btnGetConfig");
    QTRY_COMPARE(h.Panel(4), QStringLiteral("Log: 4 lines"));
    h.Trigger("miStopLog");
    QCOMPARE(h.Panel(4), QStringLiteral("Log: ---"));
    const QList<QByteArray> lines = ReadAll(name).split('\n');
    QCOMPARE(lines.size(), 5);  // four lines, each with its CR LF
    const QRegularExpression stamped(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d: \\$PQVX(VER|CF|ID|SP),.*\\*[0-9A-F]{2}\\r$"));
    for (int i = 0; i < 4; ++i)
      QVERIFY2(stamped.match(QString::fromLatin1(lines[i])).hasMatch(), lines[i].constData());
    QVERIFY2(lines[0].endsWith(": $PQVXVER,2.12.0,HLX2000,20261206,8000*1A\r"), lines[0].constData());
  }

  void readingShowsTheModelAndSendsChangedBoxesBack_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("sentBack");
    QTest::addColumn<bool>("warned");  // "not suitable"
    const QStringList back1{"$PQVXCF,,0*3A", "$PQVXCF,,,,,1*17", "$PQVXCF,,,,,,0100*0B",
                            "$PQVXCF,,,,,,,1*17"};
    const QStringList back2{"$PQVXCF,,0*3A", "$PQVXCF,,,,,,,0100*27", "$PQVXCF,,,,,,,,1*3B"};
    const QStringList back3{"$PQVXCF,,0*3A", "$PQVXCF,,,,,,0100*0B", "$PQVXCF,,,,,,,1*17"};
    const QString full = QStringLiteral("| gbRealTime gbTalkerID gbFilter files |");
    const QString boxes12 = QStringLiteral("fits: Priority, Channel Numbers, Channel ID's, HDG --> HDT");
    const QString grid1 = QStringLiteral("| grid 15 15 15 15 15 43 Sent.");
    const QString grid6 = QStringLiteral("| grid 15 15 15 15 15 57 Sentence");
    const QString grid7 = QStringLiteral("| grid 15 15 15 15 15 57 20 Sentence");
    QTest::newRow("1: serial 4, version 2: full with HDG")
        << 1 << QStringList{} << boxes12 + " " + full + " Server, Hub, Automatic " + grid1 << back1 << false;
    QTest::newRow("1: serial 1, version 2: SeaTalk only")
        << 1 << QStringList{"--serial", "10017"}
        << "fits: SeaTalk --> NMEA |  | Server, Hub, Automatic " + grid1 << back1 << false;
    QTest::newRow("2: 0038 full with SeaTalk and divisor")
        << 2 << QStringList{}
        << boxes12 + ", SeaTalk --> NMEA " + full + " Server, Hub, Auto Server/Hub " + grid7 << back2
        << false;
    QTest::newRow("2: 0008 full without SeaTalk and divisor")
        << 2 << QStringList{"--caps", "0008"}
        << boxes12 + " " + full + " Server, Hub, Auto Server/Hub " + grid6 << back2 << false;
    QTest::newRow("2: 0010 simple with SeaTalk only")
        << 2 << QStringList{"--caps", "0010"}
        << "fits: SeaTalk --> NMEA |  | Server, Hub, Auto Server/Hub " + grid6 << back2 << false;
    QTest::newRow("2: 0080 simple without options, mode AIS")
        << 2 << QStringList{"--caps", "0080"} << "-:  |  | Server, Hub, Auto Server/Hub, AIS " + grid6
        << back2 << false;
    const QString boxes3 =
        QStringLiteral("fits: Priority, Channel Numbers, HDG --> HDT, SeaTalk --> NMEA ") + full;
    QTest::newRow("3: 8080 mode AIS")
        << 3 << QStringList{"--caps", "8080"} << boxes3 + " Server, Hub, Auto Server/Hub, AIS " + grid7
        << back3 << false;
    QTest::newRow("3: 0080 not served") << 3 << QStringList{"--caps", "0080"}
                                        << boxes3 + " Server, Hub, Auto Hub/Server " + grid7 << back3 << true;
  }
  void readingShowsTheModelAndSendsChangedBoxesBack() {
    QFETCH(int, generation);
    QFETCH(QStringList, simArgs);
    QFETCH(QString, layout);
    QFETCH(QStringList, sentBack);
    QFETCH(bool, warned);
    LegacyHarness h(generation);
    QVERIFY2(h.Start(simArgs), qPrintable(h.Why()));
    QCOMPARE(h.window->windowTitle(),
             QStringLiteral("Halyx Configuration Tool V") + ProgramVersion() +
                 QStringLiteral(" (V%1)").arg(QStringList{"1.42", "2.42", "3.01"}[generation - 1]));
    QTRY_COMPARE(h.SentSince(0), QStringList({"$PQVXVER*4E", "$PQVXCFQ*5B", "$PQVXIDQ*53"}) + sentBack);
    QTRY_COMPARE(Layout(h), layout);
    QCOMPARE(h.prompts.texts(u"inform"), warned ? kNotSuitable : QStringList{});
    QCOMPARE(h.Panel(3),
             layout.contains(QStringLiteral("files")) ? QStringLiteral("Config file:") : QString());
  }

  void captureAndStoreSendTheGenerationsSentences_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("readBack");  // lines sent by reading the device
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QString>("captured");
    QTest::addColumn<QStringList>("stop");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QStringList>("store");
    // Channel IDs are on from the factory: the capture sends nothing.
    QTest::newRow("1: channel IDs") << 1 << QStringList{} << 7 << "" << QStringList{} << "HDG 00100 -"
                                    << QStringList{} << "RMC"
                                    << QStringList{"$PQVXFL*05", "$PQVXFL,RMC,00000*69"};
    QTest::newRow("2: numbers off, IDs on; divisor")
        << 2 << QStringList{} << 6 << "chbChannelID" << QStringList{"$PQVXCF,,,,,1,0*0B"} << "HCHDG 00100 "
        << QStringList{"$PQVXCF,,,,,,1*3B", "$PQVXCF,,,,,0*16"} << "GPRMC"
        << QStringList{"$PQVXFL*05", "$PQVXFL,GPRMC,00000,*52"};
    QTest::newRow("2: without divisor")
        << 2 << QStringList{"--caps", "0008"} << 6 << "" << QStringList{"$PQVXCF,,,,,1,0*0B"}
        << "HCHDG 00100 -" << QStringList{"$PQVXCF,,,,,,0*3A", "$PQVXCF,,,,,0*16"} << "GPRMC"
        << QStringList{"$PQVXFL*05", "$PQVXFL,GPRMC,00000*7E"};
    QTest::newRow("3: channel numbers")
        << 3 << QStringList{} << 6 << "" << QStringList{"$PQVXCF,,,,,1*17"} << "HCHDG 00100 "
        << QStringList{"$PQVXCF,,,,,0*16"} << "GPRMC" << QStringList{"$PQVXFL*05", "$PQVXFL,GPRMC,00000,*52"};
  }
  void captureAndStoreSendTheGenerationsSentences() {
    QFETCH(int, generation);
    QFETCH(QStringList, simArgs);
    QFETCH(int, readBack);
    QFETCH(QString, before);
    QFETCH(QStringList, start);
    QFETCH(QString, captured);
    QFETCH(QStringList, stop);
    QFETCH(QString, added);
    QFETCH(QStringList, store);
    LegacyHarness h(generation);
    QVERIFY2(h.Start(simArgs + QStringList{"--traffic", "40", "--ov-period", "0"}), qPrintable(h.Why()));
    QTRY_COMPARE(h.SentCount(), readBack);
    if (!before.isEmpty()) {
      h.Click(qPrintable(before));
      ++readBack;
      QTRY_COMPARE(h.SentCount(), readBack);
    }
    h.Click("btnCapture");
    QTRY_COMPARE(h.SentSince(readBack), start);
    QTRY_VERIFY_WITH_TIMEOUT(h.Rows().contains(captured), 5000);
    h.Click("btnCapture");
    QTRY_COMPARE(h.SentSince(readBack), start + stop);
    h.Click("btnClear");
    h.Edit("edtFilter")->setText(added);
    h.Click("btnAddFilter");
    h.Click("btnUpdate");
    QTRY_COMPARE(h.SentSince(readBack), start + stop + store);
    QStringList held;
    for (const QString& l : store.mid(1)) held << l.left(l.indexOf(u'*'));
    QCOMPARE(h.Ask("PQVXFLQ", QStringLiteral("$PQVXFL,"), 2), held + QStringList{"$PQVXFL,"});
  }

  // Generation 1's grid: no edits in place, an added row is not made current.
  void generationOneGridIsNotEditedInPlace() {
    LegacyHarness h(1);
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    QTest::keyClicks(h.Edit("edtFilter"), "gprmc");
    h.Click("btnAddFilter");
    QCOMPARE(h.Rows(), QStringList{"GPR 00000 -"});
    QVERIFY(h.Grid()->currentRow() != 1);
    h.Grid()->editItem(h.Grid()->item(1, 5));
    QVERIFY(!h.Grid()->viewport()->findChild<QLineEdit*>());  // no editor opened
  }
};

QTEST_MAIN(LegacyWindowTest)
#include "tst_legacywindow.moc"
