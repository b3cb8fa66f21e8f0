// The main window's connection panel against the simulator: every channel,
// the speed search, identification and its refusals, the settings kept
// between runs (the switch to an older generation's window is tst_handover's),
// and the history of what a connected device reports.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QLineSeries>

#include "WindowHarness.h"
#include "ui/HistoryChart.h"
#include "window/StatsWindow.h"

using namespace hlx;
using namespace hlx::test;

class ConnectionTest : public QObject {
  Q_OBJECT

 private slots:
  void tcpConnectIdentifiesAndReadsTheConfiguration() {
    WindowHarness h;
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    h.Open(QStringLiteral("TCP"), h.sim->address());
    QCOMPARE(h.Button("btnConnect")->text(), QStringLiteral("Disconnect"));
    QTRY_COMPARE(h.State(), SessionState::Idle);  // the end of the filter list was seen
    QCOMPARE((QStringList{h.Panel(0), h.Panel(1), h.Panel(2)}),
             (QStringList{"Device: HLX2000", "Version: 3.33.1", "Serial: 20261206"}));
    QVERIFY(h.SettingsEnabled());
    QVERIFY(!h.Combo("cbBaudHost")->isEnabled());  // USB model: fixed host speed
    QVERIFY(h.Find<TFilterGrid>("FilterGrid")->OutputWExists());
    // The reply stopped the time-out: nothing is said past its 2000 ms. (A
    // device that goes away is tst_monitor's.)
    QCOMPARE_STEADY(h.prompts.texts(), QStringList(), 2300);
  }

  void speedSearchFindsDeviceAt38400AndThePtyReopensAfterDisconnect() {
    WindowHarness h;
    QVERIFY2(h.Start({"--host-speed", "3"}, true), qPrintable(h.Why()));
    h.Choose("cbBaudHost", kBaudAutomatic);
    h.Click("btnConnect");  // returns when the search has ended
    QCOMPARE(h.Combo("cbBaudHost")->currentText(), QStringLiteral("38400"));
    QVERIFY(h.WaitReadBack(2));
    QCOMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
    // Queries at 115200 and 57600 went unheard; the reply to the one at 38400
    // was itself evaluated (VER, CFQ), then the connect identified the device
    // once more and read it again.
    QCOMPARE(h.Sent("$PQVX"), kReadQueries + kReadQueries);

    h.Click("btnConnect");
    QVERIFY(!h.Connected());
    // The port is left open to others: an ordinary user could not reopen an
    // exclusive terminal whose other side stays open.
    const int fd = ::open(QFile::encodeName(h.sim->ptyPath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    int exclusive = -1;
    QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    ::close(fd);
    QCOMPARE(exclusive, 0);
    h.Click("btnConnect");  // at 38400 now, no search
    QVERIFY(h.WaitReadBack(3));
  }

  // The time-out then says "does not respond", but never for a closed channel.
  void speedSearchWithoutDeviceEndsAt4800ThenTimesOut() {
    WindowHarness h;
    QVERIFY2(h.Start({"--silent"}, true), qPrintable(h.Why()));
    h.Choose("cbBaudHost", kBaudAutomatic);
    h.Click("btnConnect");
    QCOMPARE(h.Combo("cbBaudHost")->currentText(), QStringLiteral("4800"));
    QCOMPARE(h.State(), SessionState::Identify);
    QElapsedTimer sinceQuery;
    sinceQuery.start();
    QTRY_COMPARE(h.prompts.texts(), QStringList{"Multiplexer does not respond"});
    QVERIFY2(sinceQuery.elapsed() >= 1900, qPrintable(QString::number(sinceQuery.elapsed())));
    QCOMPARE(h.State(), SessionState::Idle);
    QVERIFY(h.Connected() && !h.SettingsEnabled());

    h.Click("btnReadConfig");
    QCOMPARE(h.State(), SessionState::Identify);
    h.Click("btnConnect");  // before the reply
    QCOMPARE(h.Button("btnConnect")->text(), QStringLiteral("Connect"));
    QVERIFY(!h.Button("btnReadConfig")->isEnabled() && !h.Combo("cbViewFilter")->isEnabled());
    // Past the query's time-out: disconnecting stopped it.
    QCOMPARE_STEADY(h.prompts.records.size(), 1, 2300);
  }

  // Yes runs the automatic update (tst_firmware); No leaves the device alone.
  void tooOldFirmwareGreysTheViewAndOffersTheUpdate() {
    WindowHarness h;
    QVERIFY2(h.Start({"--firmware", "3.32.9"}), qPrintable(h.Why()));
    h.prompts.yesNoAnswers.enqueue(false);
    h.Open(QStringLiteral("TCP"), h.sim->address());
    QTRY_COMPARE(h.prompts.records.size(), 1);
    const PromptRecord& ask = h.prompts.records.first();
    QCOMPARE(ask.kind + ' ' + ask.caption, QStringLiteral("ask HLX-Config"));
    QCOMPARE(ask.text,
             QStringLiteral("This version of HLX-Config requires that you update\nthe firmware in your "
                            "Halyx.\n\nWould you like to perform an automatic update now?"));
    QCOMPARE(h.State(), SessionState::Idle);
    QCOMPARE(h.Find<QPlainTextEdit>("RXData")->palette().color(QPalette::Base),
             h.window->palette().color(QPalette::Button));
    QCOMPARE_STEADY(h.Sent("$PQVX"), QStringList{"$PQVXVER*4E"}, 100);  // a read would follow at once
    QCOMPARE(h.restarts, 0);
  }

  // A serial port that failed to open is no longer chosen; nothing is searched
  // for on a channel that is not open.
  void failedOpenSaysSoAndSearchesNothing_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("speed");
    QTest::addColumn<QString>("prompt");  // empty: any reason
    const QString missing = QDir::temp().filePath(QStringLiteral("hlx-no-such-tty"));
    const QString unable =
        QStringLiteral("Unable to open communication channel\n%1: No such file or directory").arg(missing);
    QTest::newRow("serial, fixed speed") << missing << 5 << unable;
    QTest::newRow("serial, automatic") << missing << int(kBaudAutomatic) << unable;
    QTest::newRow("TCP, nobody listens") << "TCP" << 5 << QString();
  }
  void failedOpenSaysSoAndSearchesNothing() {
    QFETCH(QString, port);
    QFETCH(int, speed);
    QFETCH(QString, prompt);
    const bool serial = port != QLatin1String("TCP");
    WindowHarness h;
    h.Create(serial ? QStringList{port} : QStringList{});
    h.ChoosePort(port);
    h.Choose("cbBaudHost", speed);
    h.SetAddress(QStringLiteral("127.0.0.9"));  // nobody listens there
    h.Click("btnConnect");
    QCOMPARE(h.prompts.records.size(), 1);
    QVERIFY(prompt.isEmpty() ? !h.prompts.texts()[0].isEmpty() : h.prompts.texts()[0] == prompt);
    QVERIFY(!h.Connected());
    QCOMPARE(h.Button("btnConnect")->text(), QStringLiteral("Connect"));
    QCOMPARE(h.Combo("cbPort")->currentIndex() == -1, serial);
    QCOMPARE(h.Button("btnConnect")->isEnabled(), !serial);
    QCOMPARE_STEADY(h.Combo("cbBaudHost")->currentIndex(), speed, 250);  // past a search step: none began
    QVERIFY(h.State() == SessionState::Idle && !h.SettingsEnabled());
  }

  // Prompts as "caption: text". Without a view filter Disconnect sends nothing:
  // a whole-word option command would wipe the options with a word never read.
  void connectReadsWhatTheDeviceAllowsAndDisconnectSendsNothing_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("settings");
    QTest::addColumn<QStringList>("prompts");
    const QStringList none, ver{"$PQVXVER*4E"}, all = kReadQueries;
    const QStringList no{"HLXConfig: This version of HLXConfig does not support\nthe connected multiplexer."};
    const QString hlx = QStringLiteral("Device: HLX2000");
    QTest::newRow("UDP") << "UDP" << none << all << hlx << true << none;
    // Several devices may answer on a shared port: none of them is read.
    QTest::newRow("UDP All") << "UDP All" << none << ver << "Device: " << true << none;
    QTest::newRow("no list end") << "TCP" << QStringList{"--no-list-end"} << all << hlx << false << none;
    // The configuration is still read, but cannot be edited.
    QTest::newRow("other family") << "TCP" << QStringList{"--caps", "0041"} << all << hlx << false << no;
    QTest::newRow("not hexadecimal") << "TCP" << QStringList{"--ver-garbage"} << all << hlx << false << no;
    QTest::newRow("no word at all") << "TCP" << QStringList{"--no-caps"} << all << hlx << false << none;
  }
  void connectReadsWhatTheDeviceAllowsAndDisconnectSendsNothing() {
    QFETCH(QString, port);
    QFETCH(QStringList, args);
    QFETCH(QStringList, sent);
    QFETCH(QString, device);
    QFETCH(bool, settings);
    QFETCH(QStringList, prompts);
    WindowHarness h;
    QVERIFY2(h.Start(args), qPrintable(h.Why()));
    h.Open(port, h.sim->address());
    QTRY_COMPARE(h.Sent("$PQVX"), sent);
    QTRY_COMPARE(h.Panel(0), device);
    QTRY_COMPARE(h.SettingsEnabled(), settings);
    const auto shown = [&] {
      QStringList texts;
      for (const PromptRecord& r : h.prompts.records) texts << r.caption + QStringLiteral(": ") + r.text;
      return texts;
    };
    QTRY_COMPARE(shown(), prompts);
    const QStringList before = h.Recorded();
    h.Click("btnConnect");
    QVERIFY(!h.Connected());
    QCOMPARE_STEADY(h.Recorded(), before, 100);  // what disconnecting sends goes at once
  }

  // A device whose option word was never read ("UDP All", an unfinished
  // read-back) gets only its TAG bit back: a whole word would wipe its options.
  void unreadOptionWordIsNeverSentWhole_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("UDP All") << QStringLiteral("UDP All") << QStringList{};
    QTest::newRow("no option reply") << QStringLiteral("TCP") << QStringList{"--silent"};
  }
  void unreadOptionWordIsNeverSentWhole() {
    QFETCH(QString, port);
    QFETCH(QStringList, args);
    WindowHarness h;
    QVERIFY2(h.Start(args), qPrintable(h.Why()));
    h.Open(port, h.sim->address());
    QTRY_COMPARE(h.Sent("$PQVXVER").size(), 1);
    h.Choose("cbViewFilter", 2);
    h.Choose("cbViewFilter", 0);
    h.Choose("cbViewFilter", 3);
    h.Click("btnConnect");
    QTRY_COMPARE(h.Sent("$PQVXOP"), (QStringList{"$PQVXOP,C,12,1*4D", "$PQVXOP,C,12,0*4C",
                                                 "$PQVXOP,C,12,1*4D", "$PQVXOP,C,12,0*4C"}));
  }

  // Also: the input rows sit right under their headings, and every file the
  // resource lists name is compiled in and reachable.
  void firstStartHasNoSelectionAndDisabledSessionEntries() {
    WindowHarness h;
    h.Create({QStringLiteral("/dev/null")});
    QApplication::processEvents();
    const auto top = [&](const char* name) {
      return h.Find<QWidget>(name)->mapTo(h.window.get(), QPoint()).y();
    };
    const int row = h.Combo("cbBaudIn1")->height();
    // The group's title and two heading lines, then the rows: no stretched band.
    QVERIFY2(top("cbBaudIn1") - top("gbNMEAIn") < 4 * row + 20,
             qPrintable(QStringLiteral("%1 %2").arg(top("cbBaudIn1") - top("gbNMEAIn")).arg(row)));
    QVERIFY(top("chbRTime5") - top("cbBaudIn1") < 5 * (row + 12));
    QVERIFY(!h.Button("btnConnect")->icon().isNull());
    QVERIFY(!h.Find<TFilterGrid>("FilterGrid")->OutputWExists());  // no device identified yet
    for (const char* name :
         {"miLoad", "miSave", "miSaveAs", "miResetFactorySettings", "miStats", "miUpdateFirmware"})
      QVERIFY2(!h.Action(name)->isEnabled(), name);
    h.Choose("cbPort", kPortTcp);
    QVERIFY(!h.Button("btnConnect")->isEnabled());  // no address yet
    h.SetAddress(QStringLiteral("127.0.0.2"));
    QVERIFY(h.Button("btnConnect")->isEnabled());
    h.Choose("cbPort", kFirstSerialPort);
    QVERIFY(!h.Button("btnConnect")->isEnabled());  // no speed yet
    h.Choose("cbBaudHost", 3);
    QVERIFY(h.Button("btnConnect")->isEnabled());

    int files = 0;
    QDirIterator qrcs(QStringLiteral(HLX_SOURCE_DIR "/src"), {QStringLiteral("*.qrc")}, QDir::Files,
                      QDirIterator::Subdirectories);
    while (qrcs.hasNext()) {
      QFile qrc(qrcs.next());
      QVERIFY(qrc.open(QIODevice::ReadOnly));
      QXmlStreamReader xml(&qrc);
      QString prefix;
      while (!xml.atEnd()) {
        if (!xml.readNextStartElement()) continue;
        if (xml.name() == QLatin1String("qresource")) prefix = xml.attributes().value("prefix").toString();
        if (xml.name() != QLatin1String("file")) continue;
        const QString alias = xml.attributes().value("alias").toString();
        const QString path = QStringLiteral(":") + prefix + QLatin1Char('/') +
                             (alias.isEmpty() ? xml.readElementText() : alias);
        QVERIFY2(QFile::exists(path), qPrintable(qrc.fileName() + QStringLiteral(": ") + path));
        ++files;
      }
    }
    QVERIFY(files > 60);
  }

  // Partly saved settings are LoadStartSettings' part (tst_session).
  void settingsAreRestoredReconnectOnceAndSavedOnClose() {
    SimProcess sim(false);
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    {
      WindowHarness h;
      SaveSettings(false, {5, kPortTcp, sim.address(), 2});
      Settings().setValue("ReConnect", 1);
      h.Create();
      QCOMPARE(h.Find<QTabWidget>("PageControl")->currentIndex(), 2);
      QCOMPARE(h.Combo("cbBaudHost")->currentIndex(), 5);
      QVERIFY(!h.Connected());     // not at once...
      QTRY_VERIFY(h.Connected());  // ...but after 250 ms
      QTRY_COMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
      QCOMPARE(Settings().value("ReConnect").toInt(), 0);
      h.Choose("cbPort", kPortUdp);
      h.SetAddress(QStringLiteral("127.0.0.7"));
      h.Find<QTabWidget>("PageControl")->setCurrentIndex(1);
      h.window->close();
    }
    const QSettings s = Settings();
    QStringList saved;
    for (const char* key : {"Port", "IP", "CurrentTab", "BaudRate"}) saved << s.value(key).toString();
    QCOMPARE(saved, (QStringList{"1", "127.0.0.7", "1", "5"}));
  }

  // Reports every 100 ms and 20 lines a second from the simulator; the
  // bars keep their size until the history is opened and after it is closed.
  void statisticsHistoryChartsTheDeviceAndExportsIt() {
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "20", "--stat-period", "100"}), qPrintable(h.Why()));
    QVERIFY(h.ConnectTcp());
    TStats* stats = h.Find<TStats>("Stats");
    h.Trigger("miStats");
    QVERIFY(stats->isVisible() && !h.Find<QWidget>("HistoryPanel")->isVisible());
    QCOMPARE(stats->size(), QSize(TStats::kClientWidth, TStats::kClientHeight));
    h.Click("btnHistory");
    QVERIFY(stats->width() > TStats::kClientWidth && h.Find<QWidget>("HistoryPanel")->isVisible());
    const auto line = [&h](const char* chart, int series) {
      return h.Find<THistoryChart>(chart)->Series(series);
    };
    QTRY_VERIFY(line("QueueChart", 3)->count() >= 5 && line("LoadChart", 0)->count() >= 5);
    const QLineSeries* load = line("LoadChart", 0);
    QCOMPARE(static_cast<int>(load->at(load->count() - 1).y()), h.Find<QProgressBar>("CPULoad")->value());
    // Hovering near a point of the line shows its value and time.
    const QPointF point = load->at(0);
    emit qobject_cast<QLineSeries*>(h.Find<THistoryChart>("LoadChart")->chart()->series().first())
        ->hovered(point + QPointF(1, 5), true);
    QTRY_COMPARE(QToolTip::text(),
                 QStringLiteral("Load: %1 at %2")
                     .arg(point.y())
                     .arg(QDateTime::fromMSecsSinceEpoch(qint64(point.x())).toString("hh:mm:ss")));
    // Each second the rates of the inputs; only those with traffic get a line.
    const auto shown = [&line] {
      QList<int> inputs;
      for (int input = 0; input < kInspectorInputs; ++input)
        if (line("RateChart", input)->isVisible() && line("RateChart", input)->count() >= 2) inputs << input;
      return inputs;
    };
    QTRY_VERIFY(!shown().isEmpty());
    QVERIFY(!shown().contains(9));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.csv"));
    h.prompts.fileAnswers << file << dir.path();  // the folder cannot be written over
    h.Click("btnExport");
    const QStringList lines = QString::fromUtf8(ReadAll(file)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.first(),
             QStringLiteral("Time,In1,In2,In3,In4,Load,Rate -,Rate 1,Rate 2,Rate 3,Rate 4,Rate 5,"
                            "Rate 6,Rate 7,Rate 8,Rate 9"));
    QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^[-0-9T:.+Z]+(,\\d+){5},{10}$"))).size() >= 5);
    QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^[-0-9T:.+Z]+,{5}(,\\d+\\.\\d){10}$"))).size() >=
            2);
    QVERIFY(h.prompts.texts(u"inform").isEmpty());
    h.Click("btnExport");
    QCOMPARE(h.prompts.texts(u"inform"), QStringList{QStringLiteral("Unable to write to ") + dir.path()});

    h.Click("btnHistory");
    QCOMPARE(stats->size(), QSize(TStats::kClientWidth, TStats::kClientHeight));
  }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
