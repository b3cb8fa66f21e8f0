// Configuration files, traffic logs and the statistics window of the real
// main window against hlx-sim over TCP. What reaches the device is checked in
// the simulator's record and in its own configuration.

#include <QAction>
#include <QFile>
#include <QProgressBar>
#include <QRegularExpression>

#include "WindowHarness.h"
#include "config/ConfigFile.h"
#include "config/pages/StatsWindow.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// The program writes "$" and the text; the simulator records "*hh" as well.
QStringList WithoutChecksums(const QStringList& lines) {
  QStringList out;
  for (QString l : lines) {
    const int star = l.lastIndexOf(QLatin1Char('*'));
    if (star >= 0 && star == l.size() - 3) l.chop(3);
    out << l;
  }
  return out;
}

QByteArray ReadAll(const QString& name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteText(const QString& name, const QByteArray& text) {
  QFile f(name);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text);
}

// Lines of a log file; every line must end in CR LF.
QStringList LogLines(const QString& name) {
  const QByteArray all = ReadAll(name);
  if (all.isEmpty()) return {};
  if (!all.endsWith("\r\n")) return {QStringLiteral("<no CR LF at the end>")};
  QStringList lines = QString::fromLatin1(all).split(QStringLiteral("\r\n"));
  lines.removeLast();
  for (const QString& l : lines)
    if (l.contains(QLatin1Char('\n')) || l.contains(QLatin1Char('\r'))) return {QStringLiteral("<bare line end>")};
  return lines;
}

}  // namespace

class FilesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();

  void loadSendsTheFileToTheDeviceInOrder();
  void loadedValuesOutOfRangeNeverReachTheWire();
  void saveAfterLoadWritesWithoutAskingAndRestoresTheDevice();
  void saveAsProposesTheCurrentName();
  void unreadableFileChangesNothing();
  void failedSaveReportsAndKeepsTheOldFile();
  void nmeaLogHoldsTheSessionAsSentAndShown();
  void diagnosticLogStampsEveryLine();
  void logsKeepTheBytesAsReceived();
  void logWriteErrorStopsLogging();
  void statisticsToggleReportsAndShowTheDevicesValues();

 private:
  void Trigger(WindowHarness& h, const char* action) { h.Trigger(action); }
  TStats* Stats(WindowHarness& h) { return h.Find<TStats>("Stats"); }
  QString Path(const char* name) const { return m_work.filePath(QString::fromLatin1(name)); }

  QTemporaryDir m_configDir;
  QTemporaryDir m_work;
};

void FilesTest::initTestCase() {
  QVERIFY(m_configDir.isValid() && m_work.isValid());
  UsePrivateSettingsFolder(m_configDir);
}

void FilesTest::init() { Settings().clear(); }

void FilesTest::loadSendsTheFileToTheDeviceInOrder() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  const int before = sim.recordedLines().size();

  // A file from elsewhere: LF endings, keys in another case and order, no
  // "Baud Out2" (defaults to 38400), a filter line without commas.
  const QString file = Path("load.ini");
  WriteText(file,
            "[Notes]\nowner=me\n"
            "[configuration]\noptions=0000a041\nBAUD IN1=1\nBaud In2=2\nBaud In4/Out1=4\n"
            "Priority Timeout=2\nRealTime Ch.2=1\nRealTime Conv=1\nTalker ID1=AB\nTalker ID3=XYZ\n"
            "Route 11=1\nRoute 22=1\nRoute Conv2=1\nMode In1=1\nMode Out1=2\nMode Out2=1\n"
            "[Filter]\nGPRMC=110000,2,1010\nGPGGA=111111\nIIMWV=000011,,0001\n");
  h.prompts.fileAnswers.enqueue(file);
  Trigger(h, "miLoad");

  const QStringList expected = {
      QStringLiteral("$PQVXCF,C,,01001,2*4B"),       QStringLiteral("$PQVXSP,C,1,2,0,4,3*7B"),
      QStringLiteral("$PQVXIN,C,1,0,0,0*66"),        QStringLiteral("$PQVXID,C,AB,,XY,,*43"),
      QStringLiteral("$PQVXDR,C,10000,2,01001,1*74"), QStringLiteral("$PQVXOP,C,0000A041*27"),
      QStringLiteral("$PQVXFL,C,DELETE*5F"),         QStringLiteral("$PQVXFL,C,GPRMC,110000,2,1010*13"),
      QStringLiteral("$PQVXFL,C,IIMWV,000011,,0001*27")};
  QTRY_COMPARE(sim.recordedLines().mid(before), expected);
  QCOMPARE(h.Panel(3), QStringLiteral("Config file: ") + file);
  QCOMPARE(h.Rules(), 2);

  // The device took it all: its own report holds the loaded values.
  const QStringList config = sim.queryConfig();
  QVERIFY(SimProcess::replyLine(config, QStringLiteral("PQVXSP")).startsWith(QStringLiteral("$PQVXSP,R,1,2,0,4,3")));
  QVERIFY(SimProcess::replyLine(config, QStringLiteral("PQVXOP")).contains(QStringLiteral("0000A041")));
  QCOMPARE(config.filter(QStringLiteral("$PQVXFL,R,GPRMC")).size(), 1);
  QCOMPARE(config.filter(QStringLiteral("$PQVXFL,R,IIMWV")).size(), 1);
}

void FilesTest::loadedValuesOutOfRangeNeverReachTheWire() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  const int before = sim.recordedLines().size();
  const QString file = Path("hostile.ini");
  WriteText(file, "[Configuration]\r\nBaud In1=-6\r\nBaud In2=300\r\nMode In1=-35\r\nMode Out1=9\r\n"
                  "Priority Timeout=200\r\n");
  h.prompts.fileAnswers.enqueue(file);
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("out of range")));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("out of range")));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("out of range")));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("out of range")));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("out of range")));
  Trigger(h, "miLoad");
  QTRY_VERIFY(sim.recordedLines().size() >= before + 6);
  // Every field of every command holds what its field allows: the refused
  // values took their defaults.
  const QStringList sent = sim.recordedLines().mid(before);
  QCOMPARE(sent.filter(QStringLiteral("$PQVXSP,")), QStringList{QStringLiteral("$PQVXSP,C,0,0,0,0,3*7C")});
  QCOMPARE(sent.filter(QStringLiteral("$PQVXIN,")), QStringList{QStringLiteral("$PQVXIN,C,0,0,0,0*67")});
  QCOMPARE(sent.filter(QStringLiteral("$PQVXCF,")), QStringList{QStringLiteral("$PQVXCF,C,,00000,0*49")});
  QCOMPARE(sent.filter(QStringLiteral("$PQVXDR,")), QStringList{QStringLiteral("$PQVXDR,C,00000,0,00000,0*76")});
}

void FilesTest::saveAfterLoadWritesWithoutAskingAndRestoresTheDevice() {
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "0", "--name", "HLX-T", "--serial", "4242"}), qPrintable(sim.errorText()));
  // Give the device a configuration of its own first (one rule per address:
  // a file holds one key per address).
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXSP,C,1,4,3,2,1")));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXFL,C,GPRMC,110000,2,1010")));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXFL,C,IIMWV,001100,,0101")));
  const QStringList saved = sim.queryConfig();
  QVERIFY(!saved.isEmpty());

  WindowHarness h;
  h.Create();
  QVERIFY(h.ConnectTcp(sim));
  const QString file = Path("saved.ini");
  WriteText(file, "[Notes]\r\nowner=me\r\n[Filter]\r\nOLDXX=000000,,0000\r\n");
  h.prompts.fileAnswers.enqueue(file);
  Trigger(h, "miSaveAs");
  QCOMPARE(h.Panel(3), QStringLiteral("Config file: ") + file);
  const QString text = QString::fromLatin1(ReadAll(file));
  QVERIFY2(text.contains(QStringLiteral("owner=me")), qPrintable(text));
  QVERIFY(!text.contains(QStringLiteral("OLDXX")));
  QVERIFY(text.contains(QStringLiteral("HLX-Config=Halyx Configuration Tool V")));
  QVERIFY(text.contains(QStringLiteral("Device=HLX-T")));
  QVERIFY(text.contains(QStringLiteral("Serial Number=4242")));
  QVERIFY2(text.contains(QStringLiteral("Baud In1=1")), qPrintable(text));
  QVERIFY(text.contains(QStringLiteral("IIMWV=001100,,0101")));

  // Change the device behind the window's back, then load the file again.
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXSP,C,0,0,0,0,0")));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXFL,C,DELETE")));
  QVERIFY(sim.queryConfig() != saved);
  h.prompts.fileAnswers.enqueue(file);
  Trigger(h, "miLoad");
  QTRY_COMPARE(sim.queryConfig(), saved);

  // Save after Load: no dialog, same file.
  const int dialogs = h.prompts.records.size();
  QFile::remove(file);
  Trigger(h, "miSave");
  QCOMPARE(h.prompts.records.size(), dialogs);
  QVERIFY(ReadAll(file).contains("GPRMC=110000,2,1010"));
}

void FilesTest::saveAsProposesTheCurrentName() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  // Save with no name asks once, then never again.
  const QString file = Path("first.ini");
  h.prompts.fileAnswers.enqueue(file);
  Trigger(h, "miSave");
  QCOMPARE(h.prompts.records.size(), 1);
  QCOMPARE(h.prompts.lastSaveFilter, 0);
  QVERIFY(QFile::exists(file));
  Trigger(h, "miSaveAs");  // cancelled: the name stays
  QCOMPARE(h.prompts.records.last().kind, QStringLiteral("save"));
  QCOMPARE(h.prompts.records.last().text, file);
  QCOMPARE(h.Panel(3), QStringLiteral("Config file: ") + file);
}

void FilesTest::unreadableFileChangesNothing() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  const int before = sim.recordedLines().size();
  const int rules = h.Rules();
  QVERIFY(rules > 0);
  for (const QString& name : {Path("missing.ini"), m_work.path()}) {
    h.prompts.fileAnswers.enqueue(name);
    Trigger(h, "miLoad");
    QCOMPARE(h.prompts.records.last().text, QStringLiteral("Unable to read ") + name);
  }
  QTest::qWait(300);
  QCOMPARE(sim.recordedLines().size(), before);
  QCOMPARE(h.Rules(), rules);
  QCOMPARE(h.Panel(3), QStringLiteral("Config file:"));
}

void FilesTest::failedSaveReportsAndKeepsTheOldFile() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0"}), qPrintable(sim.errorText()));
  const QString nowhere = Path("no-such-folder/x.ini");
  h.prompts.fileAnswers.enqueue(nowhere);
  Trigger(h, "miSaveAs");
  QCOMPARE(h.prompts.records.last().text, QStringLiteral("Unable to write to ") + nowhere);

  // A read-only folder: the old file stays exactly as it was. (Root may write
  // anyway; then the save simply succeeds and there is nothing to check.)
  QDir(m_work.path()).mkdir(QStringLiteral("locked"));
  const QString locked = Path("locked/keep.ini");
  WriteText(locked, "[Notes]\r\nowner=me\r\n");
  QFile::setPermissions(Path("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  QFile probe(Path("locked/probe"));
  const bool rootCanWrite = probe.open(QIODevice::WriteOnly);
  probe.remove();
  if (!rootCanWrite) {
    h.prompts.fileAnswers.enqueue(locked);
    Trigger(h, "miSaveAs");
    QCOMPARE(h.prompts.records.last().text, QStringLiteral("Unable to write to ") + locked);
    QCOMPARE(ReadAll(locked), QByteArray("[Notes]\r\nowner=me\r\n"));
  }
  QFile::setPermissions(Path("locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void FilesTest::nmeaLogHoldsTheSessionAsSentAndShown() {
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "10"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  const QString log = Path("session.txt");
  h.prompts.fileAnswers.enqueue(log);
  Trigger(h, "miStartLog");
  QCOMPARE(h.prompts.lastSaveFilter, int(kSaveFilterLog));
  QVERIFY(!h.Find<QAction>("miStartLog")->isEnabled());
  QVERIFY(h.Find<QAction>("miStopLog")->isEnabled());
  QVERIFY(h.ConnectTcp(sim));
  QTest::qWait(700);  // some live traffic
  Trigger(h, "miStopLog");
  QCOMPARE(h.Panel(4), QStringLiteral("Log: ---"));
  QVERIFY(h.Find<QAction>("miStartLog")->isEnabled());

  const QStringList lines = LogLines(log);
  const QStringList sent = WithoutChecksums(sim.recordedLines());
  QVERIFY(sent.size() >= 2);  // $PQVXVER, $PQVXCFQ
  QStringList logSent, logReceived;
  for (const QString& l : lines) (sent.contains(l) ? logSent : logReceived) << l;
  QCOMPARE(logSent, sent);
  // Every received line was shown, in the same order (the view goes on
  // showing the traffic that came after the log stopped).
  QTRY_VERIFY(h.Shown().size() >= logReceived.size());
  const QStringList shown = h.Shown();
  QVERIFY2(shown.size() < 101, "too much traffic for the comparison");
  QCOMPARE(shown.mid(0, logReceived.size()), logReceived);
  QVERIFY(logReceived.filter(QStringLiteral("$PQVXVER,")).size() == 1);
  QVERIFY(lines.indexOf(QStringLiteral("$PQVXVER")) < lines.indexOf(logReceived.filter(QStringLiteral("$PQVXVER,")).first()));
}

void FilesTest::diagnosticLogStampsEveryLine() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "10"}), qPrintable(sim.errorText()));
  const QString log = Path("diag.txt");
  h.prompts.fileAnswers.enqueue(log);
  Trigger(h, "miTimedLog");
  h.Combo("cbSentence")->setEditText(QStringLiteral("PQVXVER"));
  h.Click("btnSend");
  QTRY_VERIFY(h.Panel(4).startsWith(QStringLiteral("Log: ")) && h.Panel(4) != QStringLiteral("Log: 1 lines"));
  QTest::qWait(400);
  const QString counted = h.Panel(4);
  Trigger(h, "miStopLog");

  const QStringList lines = LogLines(log);
  QCOMPARE(counted, QStringLiteral("Log: %1 lines").arg(lines.size()));
  const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3} TCP(<-|->)\\] (.+)$"));
  QStringList sent;
  for (const QString& l : lines) {
    const auto m = stamp.match(l);
    QVERIFY2(m.hasMatch(), qPrintable(l));
    if (m.captured(1) == QStringLiteral("->")) sent << m.captured(2);
  }
  QCOMPARE(sent, QStringList{QStringLiteral("$PQVXVER")});
  QVERIFY(lines.filter(QStringLiteral("TCP<-] $PQVXVER,")).size() == 1);
}

void FilesTest::logsKeepTheBytesAsReceived() {
  SimProcess sim(false);
  QVERIFY2(sim.start({"--silent", "--traffic", "0"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  const QString log = Path("raw.txt");
  h.prompts.fileAnswers.enqueue(log);
  Trigger(h, "miStartLog");
  h.ChoosePort(QStringLiteral("UDP All"));
  h.SetAddress(sim.address());
  h.Click("btnConnect");
  h.Feed("$GPTXT,a\x01" "b\tc\x7f");
  QTRY_VERIFY2(h.Shown().contains(QStringLiteral("$GPTXT,a.b.c.")), qPrintable(h.Shown().join("|")));  // the view shows them as dots...
  Trigger(h, "miStopLog");
  QVERIFY(ReadAll(log).contains("\r\n$GPTXT,a\x01" "b\tc\x7f\r\n"));  // ...the log keeps them
}

void FilesTest::logWriteErrorStopsLogging() {
  if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "0"}), qPrintable(sim.errorText()));
  WindowHarness h;
  h.Create();
  h.prompts.fileAnswers.enqueue(QStringLiteral("/dev/full"));
  Trigger(h, "miStartLog");
  QVERIFY(h.Find<QAction>("miStopLog")->isEnabled());
  QVERIFY(h.ConnectTcp(sim));  // the first line sent fails
  QTRY_VERIFY(h.Find<QAction>("miStartLog")->isEnabled());
  QVERIFY(!h.Find<QAction>("miStopLog")->isEnabled());
  QCOMPARE(h.Panel(4), QStringLiteral("Log: 1 lines"));
  QVERIFY2(h.prompts.texts().filter(QStringLiteral("space"), Qt::CaseInsensitive).size() == 1,
           qPrintable(h.prompts.texts().join(QLatin1Char('|'))));

  // A log that cannot be created says so and stays off.
  const QString bad = Path("no-such-folder/log.txt");
  h.prompts.fileAnswers.enqueue(bad);
  Trigger(h, "miStartLog");
  QCOMPARE(h.prompts.records.last().text, QStringLiteral("Error Creating \"%1\"").arg(bad));
  QVERIFY(h.Find<QAction>("miStartLog")->isEnabled());
}

void FilesTest::statisticsToggleReportsAndShowTheDevicesValues() {
  SimProcess sim;
  WindowHarness h;
  QVERIFY2(h.StartConnected(sim, {"--traffic", "0", "--stat-period", "100"}), qPrintable(sim.errorText()));
  QAction* stats = h.Find<QAction>("miStats");
  Trigger(h, "miStats");
  QTRY_COMPARE(Sent(sim, QStringLiteral("$PQVXSTAT")), QStringList{QStringLiteral("$PQVXSTAT,1*00")});
  QVERIFY(stats->isChecked());
  QVERIFY(Stats(h)->isVisible());
  QCOMPARE(Stats(h)->pos(), StatsPlacement(h.window->frameGeometry()));
  // The simulator reports a load of 350 to 410 with no traffic.
  QTRY_VERIFY(Stats(h)->BarValue(4) >= 350);
  QVERIFY(Stats(h)->BarValue(4) <= 410);
  QVERIFY(h.Shown().filter(QStringLiteral("PQVXSTAT")).isEmpty());

  Trigger(h, "miStats");
  QTRY_COMPARE(Sent(sim, QStringLiteral("$PQVXSTAT")), (QStringList{QStringLiteral("$PQVXSTAT,1*00"), QStringLiteral("$PQVXSTAT,0*01")}));
  QVERIFY(!stats->isChecked());
  QVERIFY(!Stats(h)->isVisible());
}

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
