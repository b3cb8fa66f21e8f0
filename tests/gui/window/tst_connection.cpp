// The main window's connection panel against the simulator: every channel,
// the speed search, identification and its refusals, the generation switch
// and the settings kept between runs.

#include <QSignalSpy>

#include <sys/ioctl.h>

#include <QDirIterator>
#include <QFile>
#include <QXmlStreamReader>
#include <fcntl.h>
#include <unistd.h>

#include "WindowHarness.h"

using namespace hlx;
using namespace hlx::test;

class ConnectionTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();

  void tcpConnectIdentifiesAndReadsTheConfiguration();
  void udpWithSenderFilterIdentifiesTheDevice();
  void udpAllAcceptsAnyDeviceWithoutReadingIt();
  void ptyAtFixedSpeedIdentifiesTheDevice();
  void speedSearchFindsDeviceAt38400();
  void speedSearchWithoutDeviceEndsAt4800ThenTimesOut();
  void silentDeviceGivesNoResponseMessageAndStaysOpen();
  void refusedCapabilityWordLeavesSettingsDisabled_data();
  void refusedCapabilityWordLeavesSettingsDisabled();
  void tooOldFirmwareGreysTheViewAndOffersTheUpdate();
  void olderGenerationRecordsFormIdAndRequestsRestart();
  void missingSerialPortSaysItCannotOpenAndSearchesNothing_data();
  void missingSerialPortSaysItCannotOpenAndSearchesNothing();
  void ptyCanBeReopenedAfterDisconnect();
  void refusedTcpConnectShowsTheReasonAndStaysClosed();
  void deviceClosingTcpConnectionDisconnectsTheWindow();
  void disconnectRestoresConnectControls();
  void disconnectSendsNothingWithoutViewFilter_data();
  void disconnectSendsNothingWithoutViewFilter();

  void firstStartHasNoSelectionAndDisabledSessionEntries();
  void everyResourceIsReachable();
  void settingsAreRestoredUpToTheFirstMissingValue();
  void reconnectFlagConnectsShortlyAfterStart();
  void closingSavesTheChoices();

 private:
  QTemporaryDir m_configDir;
};

void ConnectionTest::initTestCase() {
  QVERIFY(m_configDir.isValid());
  UsePrivateSettingsFolder(m_configDir);
}

void ConnectionTest::init() { Settings().clear(); }

void ConnectionTest::tcpConnectIdentifiesAndReadsTheConfiguration() {
  SimProcess sim(false);
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.StartTcp(sim);
  QVERIFY(h.Connected());
  QCOMPARE(h.Button("btnConnect")->text(), QStringLiteral("Disconnect"));
  QTRY_COMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
  QTRY_COMPARE(h.State(), SessionState::Idle);  // the end of the filter list was seen
  QCOMPARE(h.Panel(1), QStringLiteral("Version: 3.33.1"));
  QCOMPARE(h.Panel(2), QStringLiteral("Serial: 20261206"));
  QVERIFY(h.SettingsEnabled());
  QVERIFY(!h.Combo("cbBaudHost")->isEnabled());  // USB model: fixed host speed
  QVERIFY(h.Find<TFilterGrid>("FilterGrid")->OutputWExists());
  QCOMPARE(Sent(sim, "$PQVX"), (QStringList{QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B")}));
  // The reply stopped the time-out: nothing is said past its 2000 ms.
  QTest::qWait(2300);
  QVERIFY(h.prompts.records.isEmpty());
}

void ConnectionTest::udpWithSenderFilterIdentifiesTheDevice() {
  SimProcess sim(false);
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.ChoosePort(QStringLiteral("UDP"));
  h.SetAddress(sim.address());
  h.Click("btnConnect");
  QVERIFY(h.Connected());
  QTRY_COMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
  QTRY_COMPARE(h.State(), SessionState::Idle);
  QCOMPARE(Sent(sim, "$PQVX"), (QStringList{QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B")}));
}

void ConnectionTest::udpAllAcceptsAnyDeviceWithoutReadingIt() {
  SimProcess sim(false);
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.ChoosePort(QStringLiteral("UDP All"));
  h.SetAddress(sim.address());
  h.Click("btnConnect");
  QTRY_VERIFY(h.SettingsEnabled());
  QCOMPARE(h.State(), SessionState::Idle);
  QCOMPARE(h.Panel(0), QStringLiteral("Device: "));
  QTest::qWait(200);
  QCOMPARE(Sent(sim, "$PQVX"), QStringList{QStringLiteral("$PQVXVER*4E")});
}

void ConnectionTest::ptyAtFixedSpeedIdentifiesTheDevice() {
  SimProcess sim;
  QVERIFY2(sim.start({"--host-speed", "5"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create({sim.ptyPath()});
  h.ChoosePort(sim.ptyPath());
  QCOMPARE(h.Find<QLabel>("lbSpeed")->text(), QStringLiteral("Speed:"));
  QVERIFY(h.Combo("cbBaudHost")->isVisible());
  QVERIFY(!h.Find<QLineEdit>("edtMuxIP")->isVisible());
  h.Choose("cbBaudHost", 5);
  h.Click("btnConnect");
  QVERIFY(h.Connected());
  QTRY_COMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
  QTRY_COMPARE(h.State(), SessionState::Idle);
  QCOMPARE(Sent(sim, "$PQVX"), (QStringList{QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B")}));
}

void ConnectionTest::speedSearchFindsDeviceAt38400() {
  SimProcess sim;
  QVERIFY2(sim.start({"--host-speed", "3"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create({sim.ptyPath()});
  h.ChoosePort(sim.ptyPath());
  h.Choose("cbBaudHost", kBaudAutomatic);
  h.Click("btnConnect");  // returns when the search has ended
  QCOMPARE(h.Combo("cbBaudHost")->currentText(), QStringLiteral("38400"));
  QTRY_COMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
  QTRY_COMPARE(h.State(), SessionState::Idle);
  QVERIFY(h.prompts.records.isEmpty());
  // Queries at 115200 and 57600 went unheard; the reply to the one at 38400
  // was itself evaluated (VER, CFQ), then the connect identified the device
  // once more and read it again.
  QCOMPARE(Sent(sim, "$PQVX"),
           (QStringList{QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B"), QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B")}));
}

void ConnectionTest::speedSearchWithoutDeviceEndsAt4800ThenTimesOut() {
  SimProcess sim;
  QVERIFY2(sim.start({"--silent"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create({sim.ptyPath()});
  h.ChoosePort(sim.ptyPath());
  h.Choose("cbBaudHost", kBaudAutomatic);
  QElapsedTimer t;
  t.start();
  h.Click("btnConnect");
  const qint64 searchMs = t.elapsed();
  QVERIFY2(searchMs >= 1100 && searchMs < 4000, qPrintable(QString::number(searchMs)));
  QCOMPARE(h.Combo("cbBaudHost")->currentText(), QStringLiteral("4800"));
  QVERIFY(h.Connected());
  QCOMPARE(h.State(), SessionState::Identify);
  QTRY_COMPARE_WITH_TIMEOUT(h.prompts.texts(), QStringList{"Multiplexer does not respond"}, 6000);
  QCOMPARE(h.State(), SessionState::Idle);
}

void ConnectionTest::silentDeviceGivesNoResponseMessageAndStaysOpen() {
  SimProcess sim(false);
  QVERIFY2(sim.start({"--silent"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.StartTcp(sim);
  QCOMPARE(h.State(), SessionState::Identify);
  QTest::qWait(1500);
  QVERIFY(h.prompts.records.isEmpty());  // not before 2000 ms
  QTRY_COMPARE(h.prompts.texts(), QStringList{"Multiplexer does not respond"});
  QCOMPARE(h.State(), SessionState::Idle);
  QVERIFY(h.Connected());
  QVERIFY(!h.SettingsEnabled());
  QVERIFY(h.Button("btnReadConfig")->isEnabled());
}

void ConnectionTest::refusedCapabilityWordLeavesSettingsDisabled_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("messages");
  const QStringList refused{"This version of HLXConfig does not support\nthe connected multiplexer."};
  QTest::newRow("other family") << QStringList{"--caps", "0041"} << refused;
  QTest::newRow("not hexadecimal") << QStringList{"--ver-garbage"} << refused;
  QTest::newRow("no word at all") << QStringList{"--no-caps"} << QStringList{};
}

void ConnectionTest::refusedCapabilityWordLeavesSettingsDisabled() {
  QFETCH(QStringList, args);
  QFETCH(QStringList, messages);
  SimProcess sim(false);
  QVERIFY2(sim.start(args), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.StartTcp(sim);
  QTRY_COMPARE(h.State(), SessionState::Idle);  // the configuration is still read...
  QCOMPARE(Sent(sim, "$PQVX"), (QStringList{QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B")}));
  QCOMPARE(h.prompts.texts(), messages);
  for (const PromptRecord& r : h.prompts.records) QCOMPARE(r.caption, QStringLiteral("HLXConfig"));
  QVERIFY(!h.SettingsEnabled());  // ...but cannot be edited
}

void ConnectionTest::tooOldFirmwareGreysTheViewAndOffersTheUpdate() {
  SimProcess sim(false);
  QVERIFY2(sim.start({"--firmware", "3.32.9"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  QSignalSpy update(h.window.get(), &TMainForm::firmwareUpdateRequested);
  h.prompts.yesNoAnswers.enqueue(true);
  h.StartTcp(sim);
  QTRY_COMPARE(h.prompts.records.size(), 1);
  const PromptRecord& ask = h.prompts.records.first();
  QCOMPARE(ask.kind, QStringLiteral("ask"));
  QCOMPARE(ask.caption, QStringLiteral("HLX-Config"));
  QCOMPARE(ask.text, QStringLiteral("This version of HLX-Config requires that you update\nthe firmware in your "
                                    "Halyx.\n\nWould you like to perform an automatic update now?"));
  QCOMPARE(update.size(), 1);
  QCOMPARE(update.first().first().toBool(), true);  // the built-in image
  QCOMPARE(h.State(), SessionState::Idle);
  const QPalette pal = h.Find<QPlainTextEdit>("RXData")->palette();
  QCOMPARE(pal.color(QPalette::Base), h.window->palette().color(QPalette::Button));
  QTest::qWait(200);
  QCOMPARE(Sent(sim, "$PQVX"), QStringList{QStringLiteral("$PQVXVER*4E")});  // nothing read
  QCOMPARE(h.restarts, 0);
}

void ConnectionTest::olderGenerationRecordsFormIdAndRequestsRestart() {
  SimProcess sim(false);
  QVERIFY2(sim.start({"--firmware", "2.9.4"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.StartTcp(sim);
  QTRY_COMPARE(h.restarts, 1);
  QCOMPARE(Settings().value("FormID").toInt(), 3);
  QCOMPARE(Settings().value("ReConnect").toInt(), 1);
  QTest::qWait(200);
  QCOMPARE(Sent(sim, "$PQVX"), QStringList{QStringLiteral("$PQVXVER*4E")});
}

void ConnectionTest::missingSerialPortSaysItCannotOpenAndSearchesNothing_data() {
  QTest::addColumn<int>("speed");
  QTest::newRow("fixed speed") << 5;
  QTest::newRow("automatic") << int(kBaudAutomatic);
}

void ConnectionTest::missingSerialPortSaysItCannotOpenAndSearchesNothing() {
  QFETCH(int, speed);
  const QString missing = m_configDir.filePath(QStringLiteral("no-such-tty"));
  WindowHarness h;
  h.Create({missing});
  h.ChoosePort(missing);
  h.Choose("cbBaudHost", speed);
  h.Click("btnConnect");
  QCOMPARE(h.prompts.texts(), QStringList{"Unable to open communication channel"});
  QCOMPARE(h.Combo("cbPort")->currentIndex(), -1);
  QVERIFY(!h.Connected());
  QVERIFY(!h.Button("btnConnect")->isEnabled());
  // A port that is not open is not searched: the speed stays, the settings stay off.
  QTest::qWait(600);
  QCOMPARE(h.Combo("cbBaudHost")->currentIndex(), speed);
  QCOMPARE(h.State(), SessionState::Idle);
  QVERIFY(!h.SettingsEnabled());
}

void ConnectionTest::ptyCanBeReopenedAfterDisconnect() {
  SimProcess sim;
  QVERIFY2(sim.start({"--host-speed", "5"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create({sim.ptyPath()});
  h.ChoosePort(sim.ptyPath());
  h.Choose("cbBaudHost", 5);
  h.Click("btnConnect");
  QVERIFY(h.WaitReadBack(sim));
  h.Click("btnConnect");
  QVERIFY(!h.Connected());
  // The port is left open to others: an ordinary user could not reopen an
  // exclusive terminal whose other side stays open.
  const int fd = ::open(QFile::encodeName(sim.ptyPath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  QVERIFY(fd >= 0);
  int exclusive = -1;
  QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  ::close(fd);
  QCOMPARE(exclusive, 0);
  h.Click("btnConnect");
  QVERIFY(h.WaitReadBack(sim, 2));
  QVERIFY(h.prompts.records.isEmpty());
}

void ConnectionTest::refusedTcpConnectShowsTheReasonAndStaysClosed() {
  WindowHarness h;
  h.Create();
  h.ChoosePort(QStringLiteral("TCP"));
  h.SetAddress(QStringLiteral("127.0.0.9"));  // nobody listens there
  h.Click("btnConnect");
  QCOMPARE(h.prompts.records.size(), 1);
  QVERIFY(!h.prompts.records.first().text.isEmpty());
  QVERIFY(!h.Connected());
  QCOMPARE(h.Button("btnConnect")->text(), QStringLiteral("Connect"));
  QVERIFY(h.Button("btnConnect")->isEnabled());
  QCOMPARE(h.State(), SessionState::Idle);
}

void ConnectionTest::deviceClosingTcpConnectionDisconnectsTheWindow() {
  SimProcess sim(false);
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.StartTcp(sim);
  QTRY_COMPARE(h.State(), SessionState::Idle);
  sim.stop();
  QTRY_VERIFY(!h.Connected());
  QCOMPARE(h.prompts.texts(), QStringList{"The connection to the multiplexer was closed."});
  QCOMPARE(h.Button("btnConnect")->text(), QStringLiteral("Connect"));
  QVERIFY(!h.SettingsEnabled());
}

void ConnectionTest::disconnectRestoresConnectControls() {
  SimProcess sim(false);
  QVERIFY2(sim.start({"--silent"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.StartTcp(sim);
  QVERIFY(!h.Find<QLineEdit>("edtMuxIP")->isEnabled());
  h.Click("btnConnect");  // disconnect while still waiting for the VER reply
  QVERIFY(!h.Connected());
  QCOMPARE(h.Button("btnConnect")->text(), QStringLiteral("Connect"));
  QVERIFY(h.Find<QLineEdit>("edtMuxIP")->isEnabled());
  QVERIFY(!h.Button("btnReadConfig")->isEnabled());
  QVERIFY(!h.Combo("cbViewFilter")->isEnabled());
  QTest::qWait(2300);
  QVERIFY(h.prompts.records.isEmpty());  // no "does not respond" for a closed channel
}

void ConnectionTest::disconnectSendsNothingWithoutViewFilter_data() {
  QTest::addColumn<QString>("port");
  QTest::addColumn<QStringList>("args");
  QTest::newRow("UDP All") << QStringLiteral("UDP All") << QStringList{};
  QTest::newRow("unfinished read-back") << QStringLiteral("TCP") << QStringList{"--no-list-end"};
}

void ConnectionTest::disconnectSendsNothingWithoutViewFilter() {
  QFETCH(QString, port);
  QFETCH(QStringList, args);
  SimProcess sim(false);
  QVERIFY2(sim.start(args), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.ChoosePort(port);
  h.SetAddress(sim.address());
  h.Click("btnConnect");
  QTRY_VERIFY(!Sent(sim, "$PQVXVER").isEmpty());
  QTest::qWait(300);
  const QStringList before = sim.recordedLines();
  h.Click("btnConnect");
  QVERIFY(!h.Connected());
  // A whole-word option command now would wipe the device's options with a
  // word that was never read.
  QTest::qWait(300);
  QCOMPARE(sim.recordedLines(), before);
}

void ConnectionTest::firstStartHasNoSelectionAndDisabledSessionEntries() {
  WindowHarness h;
  TMainForm& w = h.Create();
  QCOMPARE(w.windowTitle(), QStringLiteral("Halyx Configuration Tool V") + ProgramVersion());
  QCOMPARE(h.Combo("cbPort")->currentIndex(), -1);
  QCOMPARE(h.Combo("cbBaudHost")->currentIndex(), -1);
  QCOMPARE(h.Combo("cbPort")->itemText(0), QStringLiteral("UDP All"));
  QCOMPARE(h.Combo("cbPort")->itemText(1), QStringLiteral("UDP"));
  QCOMPARE(h.Combo("cbPort")->itemText(2), QStringLiteral("TCP"));
  QVERIFY(!h.Button("btnConnect")->isEnabled());
  QVERIFY(!h.Button("btnReadConfig")->isEnabled());
  for (const char* name : {"miLoad", "miSave", "miSaveAs", "miResetFactorySettings", "miStats", "miStopLog"})
    QVERIFY2(!w.findChild<QAction*>(QString::fromLatin1(name))->isEnabled(), name);
  for (const char* name : {"miStartLog", "miTimedLog", "miExit", "miAbout", "miAutomaticUpdate"})
    QVERIFY2(w.findChild<QAction*>(QString::fromLatin1(name))->isEnabled(), name);
  for (const char* name : {"miSep2", "miUpdateFirmware", "miUpdateWiFi"})
    QVERIFY2(!w.findChild<QAction*>(QString::fromLatin1(name))->isVisible(), name);
  QCOMPARE(h.Panel(4), QStringLiteral("Log: ---"));
  QVERIFY(!h.Button("btnConnect")->icon().isNull());
  QVERIFY(!h.Find<TFilterGrid>("FilterGrid")->OutputWExists());  // no device identified yet
  const int widths[] = {160, 110, 110, 320, 50};
  for (int i = 0; i < 5; ++i)
    QCOMPARE(h.Find<QLabel>(qPrintable(QStringLiteral("StatusPanel%1").arg(i)))->width(), widths[i]);

  h.Choose("cbPort", kPortTcp);
  QCOMPARE(h.Find<QLabel>("lbSpeed")->text(), QStringLiteral("Host:"));
  QVERIFY(!h.Button("btnConnect")->isEnabled());  // no address yet
  h.SetAddress(QStringLiteral("127.0.0.2"));
  QVERIFY(h.Button("btnConnect")->isEnabled());
}

void ConnectionTest::everyResourceIsReachable() {
  WindowHarness h;
  h.Create();
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
      const QString path = QStringLiteral(":") + prefix + QLatin1Char('/') + (alias.isEmpty() ? xml.readElementText() : alias);
      QVERIFY2(QFile::exists(path), qPrintable(qrc.fileName() + QStringLiteral(": ") + path));
      ++files;
    }
  }
  QVERIFY(files > 60);
}

void ConnectionTest::settingsAreRestoredUpToTheFirstMissingValue() {
  {
    QSettings s = Settings();
    s.setValue("BaudRate", 3);
    s.setValue("IP", "127.0.0.5");
    s.setValue("ReConnect", 1);
  }
  WindowHarness h;
  h.Create();
  QCOMPARE(h.Combo("cbBaudHost")->currentText(), QStringLiteral("38400"));
  QCOMPARE(h.Combo("cbPort")->currentIndex(), -1);
  QVERIFY(h.Find<QLineEdit>("edtMuxIP")->text().isEmpty());
  QCOMPARE(Settings().value("ReConnect").toInt(), 0);
  QTest::qWait(400);
  QVERIFY(!h.Connected());
}

void ConnectionTest::reconnectFlagConnectsShortlyAfterStart() {
  SimProcess sim(false);
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  SaveSettings(false, {5, kPortTcp, sim.address(), 2});
  Settings().setValue("ReConnect", 1);
  WindowHarness h;
  h.Create();
  QCOMPARE(h.Find<QTabWidget>("PageControl")->currentIndex(), 2);
  QVERIFY(!h.Connected());  // not at once...
  QTRY_VERIFY(h.Connected());  // ...but after 250 ms
  QTRY_COMPARE(h.Panel(0), QStringLiteral("Device: HLX2000"));
  QCOMPARE(Settings().value("ReConnect").toInt(), 0);
}

void ConnectionTest::closingSavesTheChoices() {
  {
    WindowHarness h;
    h.Create();
    h.Choose("cbPort", kPortUdp);
    h.SetAddress(QStringLiteral("127.0.0.7"));
    h.Find<QTabWidget>("PageControl")->setCurrentIndex(1);
    h.window->close();
  }
  QCOMPARE(Settings().value("Port").toInt(), kPortUdp);
  QCOMPARE(Settings().value("IP").toString(), QStringLiteral("127.0.0.7"));
  QCOMPARE(Settings().value("CurrentTab").toInt(), 1);
  QCOMPARE(Settings().value("BaudRate").toInt(), -1);
}

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
