// hlx-cli as a user runs it: the real program against the real hlx-sim over
// its pseudo-terminal and TCP, judged by exit code, output and what the
// simulator holds or recorded afterwards.
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "CaptureTable.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "config/ConfigFile.h"
#include "config/ReadBack.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using hlx::test::SimProcess;

namespace {

struct Result {
  int code = -1;
  QString out;
  QString err;
};

// Starts hlx-cli; `interruptAfterMs` >= 0 sends SIGINT once that long has passed.
Result RunCli(const QStringList& args, int interruptAfterMs = -1) {
  QProcess p;
  p.start(QStringLiteral(HLX_CLI_PATH), args);
  if (!p.waitForStarted(10000)) return {};
  if (interruptAfterMs >= 0) {
    p.waitForFinished(interruptAfterMs);
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  }
  if (!p.waitForFinished(90000)) {  // a hang: reported as a crash, never as an exit code
    p.kill();
    p.waitForFinished();
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromLocal8Bit(p.readAllStandardOutput()),
          QString::fromLocal8Bit(p.readAllStandardError())};
}

QStringList Channel(const SimProcess& sim, const QString& kind) {
  if (kind == QLatin1String("none")) return {};
  return kind == QLatin1String("pty") ? QStringList{"--port", sim.ptyPath()}
                                      : QStringList{"--tcp", sim.address()};
}

// The model as the simulator reports it, read by the window's own read-back table.
void DeviceModel(const SimProcess& sim, DeviceConfig& config, FilterList& rules) {
  for (const QString& line : sim.queryConfig()) {
    const std::string text = line.toStdString() + "\r\n";
    ApplyReadBackReply(LookupSentence(FieldOr(text, 0)), text, config, rules);
  }
}

// Sets `key=value` lines in a configuration file (CRLF line ends kept).
void EditFile(const QString& name, const QStringList& edits) {
  QString text = QString::fromLatin1(hlx::test::ReadAll(name));
  for (const QString& edit : edits) {
    const QString key = edit.section(QLatin1Char('='), 0, 0);
    const QRegularExpression line(
        QStringLiteral("^") + QRegularExpression::escape(key) + QStringLiteral("=[^\r\n]*"),
        QRegularExpression::MultilineOption);
    QVERIFY2(text.contains(line), qPrintable(key));
    text.replace(line, edit);
  }
  hlx::test::WriteText(name, text.toLatin1());
}

}  // namespace

class TestCli : public QObject {
  Q_OBJECT

 private slots:
  void portsSayWhatStandsInTheWayAndHeldPortsAreRefused();
  void identifyAndRefusals_data();
  void identifyAndRefusals();
  void dumpLoadsAsTheDevicesModel_data();
  void dumpLoadsAsTheDevicesModel();
  void diffApplyAndReadBack_data();
  void diffApplyAndReadBack();
  void monitor_data();
  void monitor();
  void monitorEndsWhenItsReaderGoes();
  void recordStampsEveryLine_data();
  void recordStampsEveryLine();
  void inspectOnceCountsTheSimulatorsSentences();
  void flash_data();
  void flash();
};

// Another process holds the terminal open, without exclusive mode: two readers
// would steal each other's bytes, so the port is refused with the holder named.
void TestCli::portsSayWhatStandsInTheWayAndHeldPortsAreRefused() {
  SimProcess sim;
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  QProcess holder;
  holder.start(QStringLiteral("sh"), {"-c", "exec sleep 60 <>\"$0\"", sim.ptyPath()});
  QVERIFY(holder.waitForStarted());
  const QString held = QStringLiteral("sleep (process %1)").arg(holder.processId());
  qputenv("HLX_EXTRA_PORTS", (sim.ptyPath() + QStringLiteral(":/nonexistent/ttyHLX")).toLocal8Bit());
  Result r;
  QTRY_VERIFY2(
      (r = RunCli({"ports"})).out.contains(sim.ptyPath() + QStringLiteral("\tbusy: in use by ") + held),
      qPrintable(r.out));
  qunsetenv("HLX_EXTRA_PORTS");
  QCOMPARE(r.code, 0);
  const QStringList lines = r.out.split(QLatin1Char('\n'));
  QVERIFY2(lines.contains(QStringLiteral("/nonexistent/ttyHLX\tmissing")), qPrintable(r.out));
  QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^(tcp|udp)\t"))).size() == 2);

  r = RunCli({"identify", "--port", sim.ptyPath()});
  QCOMPARE(r.code, 3);
  QVERIFY2(r.err.contains("The port " + sim.ptyPath() + " is in use by another program: " + held),
           qPrintable(r.err));
  holder.kill();
  holder.waitForFinished();
}

void TestCli::identifyAndRefusals_data() {
  QTest::addColumn<QString>("channel");
  QTest::addColumn<QStringList>("simArgs");
  QTest::addColumn<QStringList>("cliArgs");
  QTest::addColumn<int>("code");
  QTest::addColumn<QStringList>("texts");  // each in standard output or error
  QTest::addColumn<int>("interruptAfterMs");

  QTest::newRow("pty: identify as JSON")
      << "pty" << QStringList{} << QStringList{"identify", "--json"} << 0
      << QStringList{"\"name\": \"HLX2000\"",      "\"version\": \"3.33.1\"", "\"serial\": \"20261206\"",
                     "\"capabilities\": \"8041\"", "\"hostKind\": \"USB\"",   "\"generation\": 0"}
      << -1;
  QTest::newRow("tcp: identify an Ethernet model")
      << "tcp" << QStringList{"--name", "HLX4000", "--caps", "8042"} << QStringList{"identify"} << 0
      << QStringList{"Name:          HLX4000", "Host port:     Ethernet", "Generation:    current"} << -1;
  QTest::newRow("pty: the speed search finds 19200")
      << "pty" << QStringList{"--host-speed", "2", "--pace"} << QStringList{"identify", "--speed", "auto"}
      << 0 << QStringList{"Name:          HLX2000"} << -1;
  QTest::newRow("pty: a legacy device is identified")
      << "pty" << QStringList{"--generation", "4"} << QStringList{"identify", "--json", "--speed", "38400"}
      << 0 << QStringList{"\"generation\": 4", "\"current\": false", "\"version\": \"2.12.0\""} << -1;
  QTest::newRow("pty: a legacy device is not dumped")
      << "pty" << QStringList{"--generation", "4"} << QStringList{"dump", "--speed", "38400"} << 4
      << QStringList{"firmware 2.12.0 of an older generation"} << -1;
  QTest::newRow("tcp: firmware too old to be configured")
      << "tcp" << QStringList{"--firmware", "3.20.0"} << QStringList{"dump"} << 4
      << QStringList{"must be updated"} << -1;
  QTest::newRow("tcp: no answer") << "tcp" << QStringList{"--silent"} << QStringList{"identify"} << 3
                                  << QStringList{"Multiplexer does not respond"} << -1;
  QTest::newRow("pty: a list without its end, amid traffic")
      << "pty" << QStringList{"--no-list-end", "--traffic", "20", "--udp-peer", SimProcess::quietUdpPeer()}
      << QStringList{"dump"} << 3 << QStringList{"did not finish sending its configuration"} << -1;
  QTest::newRow("pty: a device in its bootloader")
      << "pty" << QStringList{"--start-in-loader"} << QStringList{"identify"} << 4
      << QStringList{"The multiplexer is in its bootloader"} << -1;
  QTest::newRow("two channels at once")
      << "tcp" << QStringList{} << QStringList{"identify", "--port", "ttyS0"} << 2
      << QStringList{"exactly one of --port, --tcp and --udp"} << -1;
  QTest::newRow("monitor: an address longer than any sentence's")
      << "tcp" << QStringList{} << QStringList{"monitor", "--filter", "PQVXSTATS"} << 2
      << QStringList{"--filter: an address has at most 8 characters"} << -1;
  QTest::newRow("no channel at all") << "none" << QStringList{} << QStringList{"identify"} << 2
                                     << QStringList{"exactly one of --port, --tcp and --udp"} << -1;
  QTest::newRow("apply: an unreadable file")
      << "tcp" << QStringList{} << QStringList{"apply", "/nonexistent/boat.ini"} << 7
      << QStringList{"Unable to read /nonexistent/boat.ini"} << -1;
  QTest::newRow("record: a file that cannot be written")
      << "tcp" << QStringList{} << QStringList{"record", "-o", "/nonexistent/boat.nmea"} << 7
      << QStringList{"Error Creating \"/nonexistent/boat.nmea\""} << -1;
  QTest::newRow("Ctrl-C while the device stays silent")
      << "pty" << QStringList{"--silent"} << QStringList{"identify"} << 130 << QStringList{} << 500;
}

void TestCli::identifyAndRefusals() {
  QFETCH(QString, channel);
  QFETCH(QStringList, simArgs);
  QFETCH(QStringList, cliArgs);
  QFETCH(int, code);
  QFETCH(QStringList, texts);
  QFETCH(int, interruptAfterMs);
  SimProcess sim;
  QVERIFY2(sim.start(simArgs), qPrintable(sim.errorText()));
  const Result r = RunCli(cliArgs + Channel(sim, channel), interruptAfterMs);
  QCOMPARE(r.code, code);
  for (const QString& text : texts) QVERIFY2((r.out + r.err).contains(text), qPrintable(r.out + r.err));
}

void TestCli::dumpLoadsAsTheDevicesModel_data() {
  QTest::addColumn<QString>("channel");
  QTest::newRow("pty") << "pty";
  QTest::newRow("tcp") << "tcp";
}

void TestCli::dumpLoadsAsTheDevicesModel() {
  QFETCH(QString, channel);
  SimProcess sim;
  QVERIFY2(sim.start(), qPrintable(sim.errorText()));
  QVERIFY(sim.sendCommand(QStringLiteral("PQVXID,C,II,,,,GP")));
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("dump.ini"));
  const Result r = RunCli(QStringList{"dump", "-o", file} + Channel(sim, channel));
  QCOMPARE(r.code, 0);
  const QByteArray text = hlx::test::ReadAll(file);
  QVERIFY(text.contains("Talker ID1=II\r\n"));
  QVERIFY(text.contains("Options=00001040\r\n"));

  DeviceConfig loaded, device;
  FilterList loadedRules, deviceRules;
  QVERIFY(LoadConfigFile(file, loaded, loadedRules));
  DeviceModel(sim, device, deviceRules);
  QVERIFY(deviceRules.Count() > 0);
  QVERIFY(loaded == device);
  QVERIFY(loadedRules.Rules() == deviceRules.Rules());

  const Result json = RunCli(QStringList{"dump", "--json"} + Channel(sim, channel));
  QCOMPARE(json.code, 0);
  QVERIFY(json.out.contains(QStringLiteral("\"options\": \"00001040\"")));
  QVERIFY(json.out.contains(QStringLiteral("\"name\": \"HCHDG\"")));
}

void TestCli::diffApplyAndReadBack_data() {
  QTest::addColumn<QString>("channel");
  QTest::addColumn<QStringList>("simArgs");
  QTest::addColumn<QStringList>("edits");
  QTest::addColumn<QStringList>("diff");
  QTest::addColumn<QStringList>("applyArgs");
  QTest::addColumn<int>("applyCode");
  QTest::addColumn<QString>("deviceHolds");  // a reply of the simulator afterwards

  QTest::newRow("pty: a speed and a rule")
      << "pty" << QStringList{} << QStringList{"Baud In2=2", "HCHDG=101000,3,1110"}
      << QStringList{"In 2 speed: 4800 -> 19200",
                     "Filter rule 4: HCHDG from H, In2 to Out1, Out2, PC, Div 2 -> "
                     "HCHDG from H, In2 to Out1, Out2, PC, Div 3"}
      << QStringList{} << 0 << "$PQVXSP,R,0,2,1,3,5*";
  QTest::newRow("tcp: an option and a removed rule")
      << "tcp" << QStringList{} << QStringList{"Options=00000040", "HCHDG=", "AIVDO="}
      << QStringList{"Option TAG Blocks: on -> off",
                     "Filter rule 3: remove AIVDO from H, In1, In2, In3, In4, Conv to "
                     "Out1, Out2, PC, W",
                     "Filter rule 4: remove HCHDG from H, In2 to Out1, Out2, PC, Div 2"}
      << QStringList{} << 0 << "$PQVXOP,R,00000040*";
  QTest::newRow("pty: dry run sends nothing") << "pty" << QStringList{} << QStringList{"Mode Out1=2"}
                                              << QStringList{"Out 1 host data: No -> Override"}
                                              << QStringList{"--dry-run"} << 0 << "$PQVXDR,R,11101,0,";
  QTest::newRow("tcp: a device that keeps its talker IDs")
      << "tcp" << QStringList{"--ignore-command", "PQVXID"} << QStringList{"Talker ID1=II"}
      << QStringList{"In 1 talker ID: - -> II"} << QStringList{} << 5 << "$PQVXID,R,,,,,GP*";
}

void TestCli::diffApplyAndReadBack() {
  QFETCH(QString, channel);
  QFETCH(QStringList, simArgs);
  QFETCH(QStringList, edits);
  QFETCH(QStringList, diff);
  QFETCH(QStringList, applyArgs);
  QFETCH(int, applyCode);
  QFETCH(QString, deviceHolds);
  SimProcess sim;
  QVERIFY2(sim.start(simArgs), qPrintable(sim.errorText()));
  const QStringList link = Channel(sim, channel);
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("edited.ini"));
  QCOMPARE(RunCli(QStringList{"dump", "-o", file} + link).code, 0);
  QCOMPARE(RunCli(QStringList{"diff", file} + link).code, 0);  // the device holds its own dump
  EditFile(file, edits);

  const Result changes = RunCli(QStringList{"diff", file} + link);
  QCOMPARE(changes.code, 1);
  QCOMPARE(changes.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), diff);

  const Result applied = RunCli(QStringList{"apply", file} + applyArgs + link);
  QCOMPARE(applied.code, applyCode);
  QCOMPARE(applied.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), diff);
  if (applyCode != 0)
    QVERIFY2(applied.err.contains(QStringLiteral("does not hold")), qPrintable(applied.err));
  QVERIFY2(sim.queryConfig().join(QLatin1Char('\n')).contains(deviceHolds), qPrintable(deviceHolds));
  // After a checked apply nothing is left to change.
  if (applyCode == 0 && applyArgs.isEmpty()) QCOMPARE(RunCli(QStringList{"diff", file} + link).code, 0);
}

void TestCli::monitor_data() {
  QTest::addColumn<QString>("channel");
  QTest::addColumn<QStringList>("cliArgs");
  QTest::addColumn<QString>("everyLine");  // pattern each printed line matches
  QTest::addColumn<int>("interruptAfterMs");

  QTest::newRow("pty: every sentence") << "pty" << QStringList{"--duration", "2"} << "^[$!]\\w{5}," << -1;
  QTest::newRow("tcp: one address, TAG blocks kept")
      << "tcp" << QStringList{"--duration", "2", "--filter", "--HDG", "--tag"}
      << "^\\\\s:[^\\\\]*\\\\\\$HCHDG," << -1;
  QTest::newRow("pty: rates") << "pty" << QStringList{"--rates", "--duration", "2.5"}
                              << "^[A-Z]{5} +\\d+\\.\\d/s$" << -1;
  // Input 2's traffic only: not the multiplexer's own reply to the filter's option command.
  QTest::newRow("tcp: input filter until Ctrl-C")
      << "tcp" << QStringList{"--input", "2"} << "^[$!](?!PQVX)" << 2000;
}

void TestCli::monitor() {
  QFETCH(QString, channel);
  QFETCH(QStringList, cliArgs);
  QFETCH(QString, everyLine);
  QFETCH(int, interruptAfterMs);
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "20", "--udp-peer", SimProcess::quietUdpPeer()}),
           qPrintable(sim.errorText()));
  const Result r = RunCli(QStringList{"monitor"} + cliArgs + Channel(sim, channel), interruptAfterMs);
  QCOMPARE(r.code, 0);
  const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QVERIFY2(lines.size() >= 3, qPrintable(r.out + r.err));
  const QRegularExpression pattern(everyLine);
  for (const QString& line : lines) QVERIFY2(pattern.match(line).hasMatch(), qPrintable(line));
  if (interruptAfterMs >= 0) {
    // The view filter switched TAG blocks on; Ctrl-C gave the device its own word back.
    QTRY_COMPARE(sim.recordedLines().filter(QStringLiteral("$PQVXOP,C,")),
                 (QStringList{"$PQVXOP,C,12,1*4D", "$PQVXOP,C,00001040*56"}));
  }
}

void TestCli::monitorEndsWhenItsReaderGoes() {
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "20", "--udp-peer", SimProcess::quietUdpPeer()}),
           qPrintable(sim.errorText()));
  QProcess cli, head;
  cli.setStandardOutputProcess(&head);
  head.start(QStringLiteral("head"), {"-n", "3"});
  cli.start(QStringLiteral(HLX_CLI_PATH), {"monitor", "--input", "1", "--port", sim.ptyPath()});
  QVERIFY(head.waitForFinished(20000));
  QVERIFY(cli.waitForFinished(20000));
  QCOMPARE(cli.exitCode(), 0);
  QCOMPARE(head.readAllStandardOutput().count('\n'), 3);
  // It ended as on Ctrl-C: the device has its own option word back.
  QCOMPARE(sim.recordedLines().filter(QStringLiteral("$PQVXOP,C,")).last(),
           QStringLiteral("$PQVXOP,C,00001040*56"));
}

void TestCli::recordStampsEveryLine_data() {
  QTest::addColumn<QString>("channel");
  QTest::addColumn<bool>("toStdout");
  QTest::newRow("pty, to a file") << "pty" << false;
  QTest::newRow("tcp, to standard output") << "tcp" << true;
}

// Every line carries a TAG block whose checksum holds and whose c: is the
// receive time in milliseconds: never earlier than the line before, inside the run.
void TestCli::recordStampsEveryLine() {
  QFETCH(QString, channel);
  QFETCH(bool, toStdout);
  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "20", "--udp-peer", SimProcess::quietUdpPeer()}),
           qPrintable(sim.errorText()));
  QTemporaryDir dir;
  const QString file = toStdout ? QStringLiteral("-") : dir.filePath(QStringLiteral("boat.nmea"));
  const qint64 startMs = QDateTime::currentMSecsSinceEpoch();
  const Result r = RunCli(QStringList{"record", "-o", file, "--duration", "2"} + Channel(sim, channel));
  const qint64 endMs = QDateTime::currentMSecsSinceEpoch();
  QCOMPARE(r.code, 0);
  const QByteArray capture = toStdout ? r.out.toLatin1() : hlx::test::ReadAll(file);
  QVERIFY2(capture.endsWith("\r\n"), capture.right(80).constData());
  QList<QByteArray> lines = capture.split('\n');
  lines.removeLast();  // after the last line end
  QVERIFY2(lines.size() >= 20, capture.constData());
  QVERIFY2(r.err.contains(QStringLiteral("Recorded %1 lines to %2")
                              .arg(lines.size())
                              .arg(toStdout ? QStringLiteral("standard output") : file)),
           qPrintable(r.err));
  const QRegularExpression tagged(
      QStringLiteral(R"(^\\(([^\\*]*,)?c:(\d{13})(,[^\\*]*)?)\*([0-9A-F]{2})\\[$!].*\r$)"));
  qint64 previous = startMs;
  for (const QByteArray& line : lines) {
    const auto m = tagged.match(QString::fromLatin1(line));
    QVERIFY2(m.hasMatch(), line.constData());
    char sum = 0;
    for (const QChar c : m.captured(1)) sum ^= c.toLatin1();
    QCOMPARE(m.captured(5).toInt(nullptr, 16), int(static_cast<unsigned char>(sum)));
    const qint64 time = m.captured(3).toLongLong();
    QVERIFY2(time >= previous && time <= endMs, line.constData());
    previous = time;
  }
}

void TestCli::inspectOnceCountsTheSimulatorsSentences() {
  // The committed capture, replayed: the table is the expected one.
  SimProcess replay;
  QVERIFY2(replay.start({"--replay", hlx::test::CapturePath("boat.nmea")}), qPrintable(replay.errorText()));
  Result r =
      RunCli(QStringList{"inspect", "--once", QString::number(hlx::test::kCaptureMs / 1000 + 1), "--json"} +
             Channel(replay, "pty"));
  QCOMPARE(r.code, 0);
  const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), 1);
  QStringList table;
  for (const QJsonValue row : QJsonDocument::fromJson(lines[0].toUtf8()).object().value("rows").toArray()) {
    QStringList cells;
    for (const char* key : {"input", "talker", "type", "count", "rate", "longest_gap_s", "bad_checksum",
                            "no_checksum", "too_long"})
      cells << row.toObject().value(key).toVariant().toString();
    table << cells.join(u' ');
  }
  hlx::test::CompareWithExpectedTable(table);
  if (QTest::currentTestFailed()) return;
  replay.stop();

  SimProcess sim;
  QVERIFY2(sim.start({"--traffic", "20", "--udp-peer", SimProcess::quietUdpPeer()}),
           qPrintable(sim.errorText()));
  // As text, input 2 only: its heading and nothing of another input.
  r = RunCli(QStringList{"inspect", "--once", "2", "--input", "2"} + Channel(sim, "pty"));
  QCOMPARE(r.code, 0);
  const QStringList rows = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QVERIFY2(rows.size() >= 2 && rows[0].startsWith(QStringLiteral("Input")), qPrintable(r.out));
  QVERIFY2(rows.filter(QRegularExpression(QStringLiteral("^2 +HC +HDG +[1-9]"))).size() == 1,
           qPrintable(r.out));
  for (const QString& row : rows.mid(1))
    QVERIFY2(row.startsWith('2') || row.startsWith('-'), qPrintable(r.out));
}

void TestCli::flash_data() {
  QTest::addColumn<QString>("channel");
  QTest::addColumn<QStringList>("simArgs");
  QTest::addColumn<QStringList>(
      "image");  // "NAME=VERSION": a container of that version in the working folder
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("message");  // once in standard error
  QTest::addColumn<bool>("programs");

  const QStringList builtIn{"--builtin"};
  const QString success = QStringLiteral("The firmware update was successful");
  const QString older =
      QStringLiteral("The version of this firmware file is lower than the version\nof the multiplexer");
  QTest::newRow("pty: built-in image") << "pty" << QStringList{} << builtIn << 0 << success << true;
  QTest::newRow("tcp: the image CRC does not match")
      << "tcp" << QStringList{"--loader-fault", "crc-mismatch"} << builtIn << 6
      << "Bootloader: CRC error\nFile CRC: " << true;
  QTest::newRow("tcp: an older file, and no --yes")
      << "tcp" << QStringList{} << QStringList{"fw.hlx=3.0.0"} << 6 << older << false;
  QTest::newRow("tcp: a file named RCDATA is that file")
      << "tcp" << QStringList{} << QStringList{"RCDATA=3.0.0"} << 6 << older << false;
  QTest::newRow("tcp: the link is lost while programming")
      << "tcp" << QStringList{"--loader-fault", "drop:block=3"} << builtIn << 6
      << "The connection to the multiplexer was closed." << true;
  QTest::newRow("pty: an image that does not start") << "pty" << QStringList{"--loader-fault", "no-start"}
                                                     << builtIn << 6 << "The firmware update failed" << true;
  QTest::newRow("pty: a device in its bootloader, built-in image")
      << "pty" << QStringList{"--start-in-loader"} << builtIn << 0 << success << true;
  QTest::newRow("pty: a device in its bootloader, a file, at the terminal's pace")
      << "pty" << QStringList{"--start-in-loader", "--pace"} << QStringList{"fw.hlx=3.40.0"} << 0 << success
      << true;
  QTest::newRow("tcp: a missing file") << "tcp" << QStringList{} << QStringList{"fw.hlx"} << 7
                                       << "Unable to read fw.hlx: no such file" << false;
  QTest::newRow("tcp: a folder") << "tcp" << QStringList{} << QStringList{"/"} << 7
                                 << "Unable to read /: a folder" << false;
  QTest::newRow("tcp: a file and --builtin")
      << "tcp" << QStringList{} << QStringList{"--builtin", "fw.hlx=3.40.0"} << 2
      << "a firmware file and --builtin exclude each other" << false;
}

void TestCli::flash() {
  QFETCH(QString, channel);
  QFETCH(QStringList, simArgs);
  QFETCH(QStringList, image);
  QFETCH(int, code);
  QFETCH(QString, message);
  QFETCH(bool, programs);
  SimProcess sim;
  QVERIFY2(sim.start(simArgs), qPrintable(sim.errorText()));
  QTemporaryDir dir;
  const QString home = QDir::currentPath();
  QDir::setCurrent(dir.path());  // file names as a user types them
  QStringList args{"flash"};
  for (const QString& arg : image) {
    args << arg.section(QLatin1Char('='), 0, 0);
    if (arg.contains(QLatin1Char('=')))
      QCOMPARE(
          QProcess::execute(QStringLiteral(HLX_MKFW_PATH), {"--version", arg.section(QLatin1Char('='), 1),
                                                            "--synthetic", "1000", "-o", args.last()}),
          0);
  }
  const Result r = RunCli(args + Channel(sim, channel));
  QDir::setCurrent(home);
  QCOMPARE(r.code, code);
  QVERIFY2(r.err.count(message) == 1, qPrintable(r.err));
  // Programming begins only once every check has passed.
  QCOMPARE(r.err.contains(QStringLiteral("Updating Firmware... 0 %")), programs);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
