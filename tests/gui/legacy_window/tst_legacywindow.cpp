// The generation-4 window against hlx-sim --generation 4 on a pseudo-terminal:
// what each control puts on the wire and what the device then holds, the
// configuration read-back and the boxes it changes, the speed search, the
// filter list with the device, files and the timed log.
#include "LegacyHarness.h"

using namespace hlx;
using namespace hlx::test;

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
    // Nothing more follows: a short look, since what loading sends goes at once.
    QTest::qWait(100);
    QCOMPARE(h.SentCount(), 16);
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
    QCOMPARE(h.prompts.texts(u"inform"),
             warned ? QStringList{"This version of HLXConfig is not suitable for the connected\n"
                                  "multiplexer. Please use a version below V3.00."}
                    : QStringList{});
    if (warned) QCOMPARE(h.prompts.records.first().caption, QStringLiteral("HLXConfig"));
  }

  void trafficFillsTheMonitorAndLightsTheOverflowLeds() {
    LegacyHarness h;
    QVERIFY2(h.Start({"--traffic", "50", "--ov-period", "1000", "--udp-peer", SimProcess::quietUdpPeer()}),
             qPrintable(h.Why()));
    auto* monitor = h.Find<QPlainTextEdit>("RXData");
    QTRY_COMPARE(monitor->blockCount(), 13);
    // The monitor keeps its 13 lines: at 50 lines a second, 100 ms bring several more.
    QTest::qWait(100);
    QCOMPARE(monitor->blockCount(), 13);
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
};

QTEST_MAIN(LegacyWindowTest)
#include "tst_legacywindow.moc"
