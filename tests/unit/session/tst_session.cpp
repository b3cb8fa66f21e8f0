// The session core's pure rules: routing of each reply by the session's
// state, driven with a recording window and handlers; the traffic monitor,
// its log and the connection panel; the host speed search of the windows and
// hlx-cli against a device that answers at one speed (the speeds tried in
// order, one 200 ms step each, and where it ends); and the start-up rules:
// version parsing, the generation table, the restart into another generation
// and the settings the main window restores.

#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <cerrno>
#include <map>

#include "ScriptedPrompts.h"
#include "Steady.h"
#include "TestFiles.h"
#include "link/ChannelIo.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/Capture.h"
#include "session/ConnectionRules.h"
#include "session/LogWriter.h"
#include "session/SentenceInspector.h"
#include "session/SessionCore.h"
#include "session/SettingsAndRestart.h"
#include "session/SpeedSearch.h"
#include "session/TrafficView.h"
#include "session/VersionCheck.h"

using namespace hlx;
using hlx::test::Settings;

namespace {

// The window side of the dispatcher, plus the handlers a window registers.
class Recorder : public SessionEvents {
 public:
  QStringList calls, shown, wire, logged;
  bool logActive = false;
  test::ScriptedPrompts prompts;
  SessionCore core{*this, prompts};

  Recorder() {
    // These handlers run in every state, always inside the dispatch.
    for (auto [id, name] : {std::pair{int(SidLDR), "LDR"}, {int(SidOV), "OV"}, {int(SidSTAT), "STAT"}})
      core.OnSentence(id, [this, name = name](const std::string& l) {
        Note(core.Updating() ? name : "NOT UPDATING", l);
      });
    // A filter reply without a name ends the list.
    core.SetReadBackHandler([this](int id, std::string_view l) {
      calls << QStringLiteral("readback %1 ").arg(id) + Text(l);
      return l.starts_with("$PQVXFL,R\r");
    });
    core.SetCaptureHandler([this](int source, std::string_view address) {
      calls << QStringLiteral("capture %1 ").arg(source) + Text(address);
    });
    // A feature's own state (the firmware update's, in the program).
    core.OwnState(
        SessionState::FwLoader,
        [this](int id, const std::string& l) { calls << QStringLiteral("owned %1 ").arg(id) + Text(l); },
        [this] { calls << QStringLiteral("abandon"); });
  }

  static QString Text(std::string_view l) { return QString::fromLatin1(l.data(), l.size()).trimmed(); }
  void Note(const char* what, std::string_view l) {
    calls << QLatin1String(what) + QLatin1Char(' ') + Text(l);
  }
  void ShowLine(const std::string& l) override { shown << Text(l); }
  void HandleVerReply(const std::string& l) override { Note("VER", l); }
  void EndAutoBaud(int index) override { calls << QStringLiteral("endAutoBaud %1").arg(index); }
  void RefreshControls(bool enable) override { calls << QStringLiteral("refresh %1").arg(enable); }
  void UpdateControls() override { calls << QStringLiteral("update"); }
  void Transmit(std::string_view text) override { wire << Text(text); }
  bool LogActive() const override { return logActive; }
  void LogSent(std::string_view text) override { logged << Text(text); }

  // Calls in order, then the messages shown.
  QStringList Handled() const {
    QStringList out = calls;
    for (const QString& t : prompts.texts()) out << QStringLiteral("inform ") + t;
    return out;
  }
};

struct Route {
  SessionState state;
  QByteArray line;
  QStringList handled;
  std::optional<SessionState> after = {};  // unchanged when not given
  int hostKind = 0;
};

const char* const kNoResponse = "Multiplexer does not respond";

struct Text {
  QByteArray line;
  bool showTag;
  QByteArray logged;  // "-" for nothing
  QString shown;      // "-" for nothing
};

struct Format {
  bool diagnostic;
  std::uint8_t channelKind;
  LogDirection direction;
  QTime time;
  QByteArray line;
};

const QTime kTime(14, 3, 7, 45);

constexpr int kNever = -2;
constexpr int kStepMs = 200;

struct Start {
  QVariant stored;  // FormID; invalid: none stored
  const char* version;
  int window;      // the window the stored FormID opens
  bool supported;  // the firmware is recent enough for that window
  bool restart;
  int formIdAfter;  // -1: none stored
};

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT

  int m_restarts = 0;

 private slots:
  void initTestCase() {
    Settings();  // in a folder of this process alone, before anything reads them
    SetRestartAction([this] { ++m_restarts; });
  }
  void init() {
    Settings().clear();
    m_restarts = 0;
  }

  void routesEachReplyByState_data() {
    QTest::addColumn<Route>("route");
    using S = SessionState;
    const QString ver = QStringLiteral("$PQVXVER,3.33.1,HLX,123,8041");
    const QByteArray verLine = ver.toLatin1() + "\r\n";
    QTest::newRow("identify: VER handled") << Route{S::Identify, verLine, {"VER " + ver}};
    QTest::newRow("identify: CF ignored") << Route{S::Identify, "$PQVXCF,R,5\r\n", {}};
    QTest::newRow("readconfig: every line goes to the read-back table")
        << Route{S::ReadConfig, verLine, {"readback 2 " + ver}};
    QTest::newRow("readconfig: OV in every state, then the read-back sees it too")
        << Route{S::ReadConfig, "$PQVXOV,5\r\n", {"OV $PQVXOV,5", "readback 3 $PQVXOV,5"}};
    QTest::newRow("readconfig: end of the list, accepted device")
        << Route{S::ReadConfig, "$PQVXFL,R\r\n", {"readback 9 $PQVXFL,R", "refresh 1"}, S::Idle};
    QTest::newRow("readconfig: end of the list, refused device")
        << Route{S::ReadConfig, "$PQVXFL,R\r\n", {"readback 9 $PQVXFL,R"}, S::Idle, -1};
    QTest::newRow("idle: STAT in every state") << Route{S::Idle, "$PQVXSTAT,1,2\r\n", {"STAT $PQVXSTAT,1,2"}};
    QTest::newRow("idle: VER ignored") << Route{S::Idle, verLine, {}};
    QTest::newRow("capture: tagged line")
        << Route{S::Capture, "\\s:HLX-3*00\\$GPRMC,1\r\n", {"capture 3 GPRMC"}};
    QTest::newRow("capture: tag without source ignored") << Route{S::Capture, "\\c:1*00\\$GPRMC,1\r\n", {}};
    QTest::newRow("speed search: any line ends it")
        << Route{S::AutoBaud, "$GPGLL,1\r\n", {"endAutoBaud -1", "update"}, S::Idle};
    QTest::newRow("speed search: VER is handled too")
        << Route{S::AutoBaud, verLine, {"endAutoBaud -1", "VER " + ver, "update"}, S::Idle};
    QTest::newRow("owned state: every line goes to its owner")
        << Route{S::FwLoader, verLine, {"owned 2 " + ver}};
    QTest::newRow("owned state: after the handler for every state")
        << Route{S::FwLoader, "$PQVXLDR,2\r\n", {"LDR $PQVXLDR,2", "owned 1 $PQVXLDR,2"}};
    QTest::newRow("state nobody owns: lines wait") << Route{S::FwRestart, "$GPRMC,1\r\n", {}};
    QTest::newRow("proprietary look-alike is not ours")
        << Route{S::ReadConfig, "$PQVXCFX,R,5\r\n", {"readback 0 $PQVXCFX,R,5"}};
    QTest::newRow("cut-off line matches nothing") << Route{S::Identify, "$PQVXVER,3.3", {}};
    QTest::newRow("NUL ends the line")
        << Route{S::Idle, QByteArray("$PQVXOV,5\r\n\0junk", 15), {"OV $PQVXOV,5"}};
  }
  void routesEachReplyByState() {
    QFETCH(Route, route);
    Recorder h;
    h.core.SetState(route.state);
    h.core.SetHostKind(route.hostKind);
    h.core.Dispatch(route.line.toStdString());
    QCOMPARE(h.Handled(), route.handled);
    QCOMPARE(h.core.State(), route.after.value_or(route.state));
    QVERIFY(!h.core.Updating());
    // Every line except statistics reaches the view, whatever the state.
    QCOMPARE(h.shown.size(), route.line.contains("PQVXSTAT") ? 0 : 1);
    Recorder statistics;
    statistics.core.SetState(route.state);
    statistics.core.Dispatch("\\s:HLX-1*00\\$PQVXSTAT,10,20,30,40,50\r\n");
    QCOMPARE(statistics.shown, QStringList());
  }

  // A state's owner gets it back before the message, or silently when the
  // session ends. The plain case, waiting for a VER reply, is driven through
  // the window (tst_connection).
  void timeoutInformsAndReturnsToIdle_data() {
    QTest::addColumn<bool>("sessionEnds");
    QTest::addColumn<QStringList>("handled");
    QTest::newRow("time-out") << false
                              << QStringList{"abandon", "update", QStringLiteral("inform ") + kNoResponse};
    QTest::newRow("end of the session") << true << QStringList{"abandon"};
  }
  void timeoutInformsAndReturnsToIdle() {
    QFETCH(bool, sessionEnds);
    QFETCH(QStringList, handled);
    Recorder h;
    h.core.SetState(SessionState::FwLoader);
    h.core.StartTimeout(QString::fromLatin1(kNoResponse));
    if (sessionEnds) h.core.EndSession();
    QCOMPARE_STEADY(h.prompts.texts(), QStringList(), 1500);  // not before 2000 ms
    // Past 2000 ms: the ended session's timer stayed quiet.
    if (sessionEnds) QCOMPARE_STEADY(h.prompts.texts(), QStringList(), 800);
    QTRY_COMPARE(h.Handled(), handled);
    QCOMPARE(h.core.State(), SessionState::Idle);
  }

  void loggedAndShownText_data() {
    QTest::addColumn<Text>("text");
    const QByteArray tagged("\\s:x-1*hh\\$GPRMC,1\r\n");
    QTest::newRow("TAG hidden") << Text{tagged, false, "$GPRMC,1", "$GPRMC,1"};
    QTest::newRow("TAG shown") << Text{tagged, true, "\\s:x-1*hh\\$GPRMC,1", "\\s:x-1*hh\\$GPRMC,1"};
    QTest::newRow("just CR LF") << Text{"\r\n", false, "-", "-"};
    QTest::newRow("start char and CR LF") << Text{"$\r\n", false, "$", "$"};
    QTest::newRow("TAG then nothing") << Text{"\\s:x-1*hh\\\r\n", false, "-", "-"};
    QTest::newRow("C1 control bytes: dots too")
        << Text{"$GP\x85X\x9f\xa0\r\n", false, "$GP\x85X\x9f\xa0", QString::fromLatin1("$GP.X.\xa0")};
    QTest::newRow("cut at NUL") << Text{QByteArray("$GPGLL,1\0junk\r\n", 15), false, "$GPGLL,1", "$GPGLL,1"};
    QTest::newRow("latin-1 byte kept")
        << Text{"$GP\xb0X\r\n", false, "$GP\xb0X", QString::fromLatin1("$GP\xb0X")};
  }
  void loggedAndShownText() {
    QFETCH(Text, text);
    const std::string_view raw(text.line.constData(), static_cast<std::size_t>(text.line.size()));
    const auto logged = LoggedText(raw, text.showTag);
    QCOMPARE(logged ? QByteArray(logged->data(), static_cast<qsizetype>(logged->size())) : "-", text.logged);
    QCOMPARE(DisplayText(raw, text.showTag).value_or(QStringLiteral("-")), text.shown);
  }

  // A noisy line must not add a row per piece of garbage: the table would
  // grow without end and every new line be compared with every row.
  void noScrollGarbageSharesOneRowAndTheTableIsBounded() {
    TrafficView view;
    view.SetNoScroll(true);
    view.Add(QStringLiteral("$GPRMC,1"));
    for (const char* garbage : {"$g4rb4,1", "$GP\xb0RMC,1", "$GPRM", "!AB,1", "$$$", "\\x\\$H.DG,1"})
      view.Add(QString::fromLatin1(garbage));
    view.Add(QStringLiteral("$GPRMC,2"));
    QCOMPARE(view.Lines(), (QStringList{"$GPRMC,2", "\\x\\$H.DG,1"}));

    view.Clear();
    for (int i = 0; i < kMaxTableRows + 100; ++i)
      view.Add(QStringLiteral("$P%1,1").arg(i, 4, 10, QLatin1Char('0')));
    QCOMPARE(view.Lines().size(), kMaxTableRows);
    QCOMPARE(view.Lines().first(), QStringLiteral("$P0100,1"));
    view.Add(QStringLiteral("$P0100,2"));  // its row is still known
    QCOMPARE(view.Lines().first(), QStringLiteral("$P0100,2"));
  }

  // A stream whose truth is known: six sentences on four inputs and none, at
  // their own rates, with a pause, bad and missing checksums and overlong
  // lines, read 20 s after it began. Each row is a line of the table.
  void inspectorCountsRatesGapsAndFaults_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("expected");  // count rate age gap bad none long, stale
    QTest::newRow("1 Hz") << "1 GP RMC"
                          << "20 1.0 1.0 1.0 0 0 0";
    QTest::newRow("10 Hz, every tenth checksum wrong") << "2 HC HDG"
                                                       << "200 10.0 0.1 0.1 20 0 0";
    QTest::newRow("2 Hz with a pause, no checksums") << "3 II MWV"
                                                     << "30 2.0 0.5 5.5 0 30 0";
    QTest::newRow("untagged proprietary") << "- PQVX STAT"
                                          << "20 1.0 0.5 1.0 0 0 0";
    QTest::newRow("encapsulated, over 82 characters") << "4 AI VDM"
                                                      << "10 0.5 2.0 2.0 0 0 10";
    QTest::newRow("stopped after 5 s") << "1 GP GGA"
                                       << "6 0.0 15.0 1.0 0 0 0 stale";
    QTest::newRow("garbage") << "2 ? "
                             << "1 0.0 7.0 0.0 0 0 0 stale";
  }
  void inspectorCountsRatesGapsAndFaults() {
    QFETCH(QString, row);
    QFETCH(QString, expected);
    struct Stream {
      int input;
      const char* body;
      int periodMs, firstMs, lastMs;
    };
    const std::string vdm = "AIVDM,1,1,,A," + std::string(64, 'E') + ",0";
    const Stream streams[] = {
        {1, "GPRMC,120000,A,5419.2060,N,01008.4120,E,6.2,47.0,081226,3.1,E", 1000, 0, 19000},
        {2, "HCHDG,45.0,,,3.1,E", 100, 0, 19900},
        {3, "IIMWV,38.0,R,14.5,N,A", 500, 0, 19500},
        {0, "PQVXSTAT,5,3,1,0,400", 1000, 500, 19500},
        {4, vdm.c_str(), 2000, 0, 18000},
        {1, "GPGGA,120000,5419.2060,N,01008.4120,E,1,08,1.0,2.0,M,,M,,", 1000, 0, 5000}};
    std::multimap<std::int64_t, std::string> lines;
    for (const Stream& s : streams)
      for (int t = s.firstMs, i = 0; t <= s.lastMs; t += s.periodMs, ++i) {
        if (s.input == 3 && t > 4500 && t < 10000) continue;  // the wind instrument's pause
        const std::string tag = "s:HLX2000-" + std::to_string(s.input);
        std::string line = CompleteSentence((s.input == 4 ? "!" : "$") + std::string(s.body));
        if (s.input == 3) line.erase(line.size() - 5, 3);             // no checksum
        if (s.input == 2 && i % 10 == 9) line[line.size() - 3] ^= 1;  // a wrong one
        const QByteArray tagSum =
            QByteArray::number(NmeaChecksum("*" + tag), 16).toUpper().rightJustified(2, '0');
        if (s.input) line.insert(0, "\\" + tag + "*" + tagSum.toStdString() + "\\");
        lines.emplace(t, line);
      }
    lines.emplace(13000, "\\s:HLX2000-2*00\\$GP RMC,1*00\r\n");
    SentenceInspector inspector;
    for (const auto& [t, line] : lines) inspector.Add(line, t);

    constexpr std::int64_t kNow = 20000;
    QStringList table;
    for (const InspectorRow& r : inspector.Rows()) {
      QStringList cells;
      for (int c = 0; c < kInspectorColumns; ++c) cells << QString::fromStdString(InspectorCell(r, c, kNow));
      if (SentenceInspector::Stale(r, kNow)) cells << "stale";
      table << cells.join(' ');
    }
    const QString wanted = row + ' ' + expected;
    QVERIFY2(table.contains(wanted), qPrintable(table.join('\n')));
    QCOMPARE(table.size(), 7);
  }

  // Names and units come from one table; repeated groups are numbered, and a
  // sentence the table does not know still shows its fields.
  void describesFieldsWithNamesAndUnits_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    QTest::newRow("RMC speed") << QByteArray("$GPRMC,120000,A,5419.2,N,01008.4,E,6.2,47.0*6A\r\n") << 7
                               << "Speed over ground|kn|6.2";
    QTest::newRow("GSV second satellite")
        << QByteArray("$GPGSV,3,1,11,03,03,111,00,04,15,270,00*74") << 9 << "Elevation 2|deg|15";
    QTest::newRow("VDM behind a TAG block")
        << QByteArray("\\s:HLX2000-4*5A\\!AIVDM,1,1,,B,177KQJ5000G?tO`K>RA1wUbN0TKH,0*5C") << 5
        << "Payload||177KQJ5000G?tO`K>RA1wUbN0TKH";
    QTest::newRow("unknown sentence") << QByteArray("$IIXXX,a,b,c") << 3 << "Field 3||c";
    QTest::newRow("beyond the table's fields") << QByteArray("$HCHDT,45.0,T,extra") << 3 << "Field 3||extra";
  }
  void describesFieldsWithNamesAndUnits() {
    QFETCH(QByteArray, line);
    QFETCH(int, index);
    QFETCH(QString, expected);
    const auto fields = DescribeFields(line.toStdString());
    QVERIFY(index < int(fields.size()));
    const DescribedField& f = fields[std::size_t(index)];
    QCOMPARE(QString::fromStdString(f.name + '|' + f.unit + '|' + f.value), expected);
  }

  // Every new kind of sentence past the limit is counted in its input's one
  // "?" row, so a noisy line cannot grow the table without end.
  void inspectorRowsAreBounded() {
    SentenceInspector inspector;
    for (int i = 0; i < 1000; ++i)
      inspector.Add(QStringLiteral("$P%1,1").arg(i, 4, 10, QLatin1Char('0')).toStdString(), i);
    QCOMPARE(inspector.Rows().size(), kMaxInspectorRows + 1);
    QCOMPARE(inspector.Rows().back().count, 1000u - kMaxInspectorRows);
    inspector.Clear();
    QVERIFY(inspector.Rows().empty());
  }

  // A capture keeps every line as it came and adds only its receive time.
  void captureLineStampsTheTagBlockAndKeepsTheSentence_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("captured");
    QTest::newRow("no TAG block") << QByteArray("$GPRMC,1*56\r\n")
                                  << QByteArray("\\c:1733666400123*6D\\$GPRMC,1*56\r\n");
    QTest::newRow("the device's TAG block gets c:")
        << QByteArray("\\s:HLX2000-3*09\\$GPRMC,1*56\r\n")
        << QByteArray("\\s:HLX2000-3,c:1733666400123*48\\$GPRMC,1*56\r\n");
    QTest::newRow("a wrong sentence checksum is kept")
        << QByteArray("\\s:HLX2000-3*09\\$GPRMC,1*00\r\n")
        << QByteArray("\\s:HLX2000-3,c:1733666400123*48\\$GPRMC,1*00\r\n");
    QTest::newRow("an earlier c: gives way")
        << QByteArray("\\s:HLX2000-3,c:17*7A\\$GPRMC,1*56\r\n")
        << QByteArray("\\s:HLX2000-3,c:1733666400123*48\\$GPRMC,1*56\r\n");
    QTest::newRow("no closing backslash: kept whole")
        << QByteArray("\\s:HLX2000-3*09$GPRMC,1*56\r\n")
        << QByteArray("\\c:1733666400123*6D\\\\s:HLX2000-3*09$GPRMC,1*56\r\n");
    QTest::newRow("a wrong TAG checksum: kept whole")
        << QByteArray("\\s:HLX2000-3*0A\\$GPRMC,1*56\r\n")
        << QByteArray("\\c:1733666400123*6D\\\\s:HLX2000-3*0A\\$GPRMC,1*56\r\n");
    QTest::newRow("no line end") << QByteArray("!AIVDM,1")
                                 << QByteArray("\\c:1733666400123*6D\\!AIVDM,1\r\n");
    QTest::newRow("LF only") << QByteArray("$GPRMC,1*56\n")
                             << QByteArray("\\c:1733666400123*6D\\$GPRMC,1*56\r\n");
  }
  void captureLineStampsTheTagBlockAndKeepsTheSentence() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, captured);
    const std::string out = CaptureLine(line.toStdString(), 1733666400123);
    QCOMPARE(QByteArray::fromStdString(out), captured);
  }

  // A full disk stops the recording with a message; nothing is lost silently.
  void captureWriteErrorStopsRecordingWithAMessage() {
    CaptureRecorder recorder;
    QCOMPARE(recorder.Start(QStringLiteral("/dev/full")), QString());
    QVERIFY(recorder.Write("$GPRMC,1*56\r\n", 1).startsWith(QStringLiteral("Error writing \"/dev/full\": ")));
    QVERIFY(!recorder.Active());
    QCOMPARE(recorder.Write("$GPRMC,1*56\r\n", 2), QString());
    QCOMPARE(recorder.Lines(), 0);
  }

  // A repaint of only the reported changes shows what the view holds, and
  // paints no more lines than came in since the last one.
  void viewChangesRepaintTheSameLines_data() {
    QTest::addColumn<bool>("noScroll");
    QTest::addColumn<QList<QStringList>>("batches");  // what comes in between two repaints
    QTest::addColumn<QList<int>>("painted");
    QStringList rows;
    for (int i = 0; i < kMaxTableRows; ++i) rows << QStringLiteral("$P%1,1").arg(i, 4, 10, QLatin1Char('0'));
    QTest::newRow("scrolling")
        << false << QList<QStringList>{rows.mid(0, 60), rows.mid(60, 60), {"$A"}, rows.mid(200, 101)}
        << QList<int>{60, 60, 1, 101};
    QTest::newRow("no scroll: rows in place, the oldest falls off")
        << true
        << QList<QStringList>{rows, {"$P0005,2", "$P0007,2", "$P0500,1", "$P0007,3", "$P0010,2", "$P0500,2"}}
        << QList<int>{500, 4};
  }
  void viewChangesRepaintTheSameLines() {
    QFETCH(bool, noScroll);
    QFETCH(QList<QStringList>, batches);
    QFETCH(QList<int>, painted);
    TrafficView view;
    view.SetNoScroll(noScroll);
    QStringList shown;
    QList<int> counted;
    for (const QStringList& batch : batches) {
      for (const QString& line : batch) view.Add(line);
      const TrafficView::Changes c = view.TakeChanges();
      shown += view.Lines().last(c.reset ? 0 : c.appended);  // the widget drops the oldest beyond capacity
      shown = c.reset ? view.Lines() : shown.last(qMin(shown.size(), qsizetype(view.Capacity())));
      for (const qsizetype row : c.rows) shown[row] = view.Lines()[row];
      counted << int(c.reset ? view.Lines().size() : c.appended + c.rows.size());
      QCOMPARE(shown, view.Lines());
    }
    QCOMPARE(counted, painted);
  }

  void overflowDigitSwitchesLeds_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<uint>("bits");
    for (auto [line, bits] : {std::pair{"$PQVXOV,13", 1u},
                              {"$PQVXOV,F", 15u},
                              {"$PQVXOV,c", 12u},
                              {"$PQVXOV,Z", 0u},
                              {"$PQVXOV,", 0u},
                              {"$PQVXOV", 0u}})
      QTest::newRow(line) << QByteArray(line) + "\r\n" << bits;
  }
  void overflowDigitSwitchesLeds() {
    QFETCH(QByteArray, line);
    QFETCH(uint, bits);
    QCOMPARE(OverflowBits(line.toStdString()), bits);
  }

  // Both generations read the VER reply and its capability word with these rules.
  void verReplyAndCapabilityWord_data() {
    QTest::addColumn<QByteArray>("fields");
    // version|name|serial|word: valid supported served updatable hostKind word
    QTest::addColumn<QString>("read");
    QTest::newRow("USB, updatable") << QByteArray("3.33.1,HLX-4,12345,8041")
                                    << "3.33.1|HLX-4|12345|8041: 1 1 1 1 1 32833";
    QTest::newRow("bit 15 clear") << QByteArray("2.12.0,HLX2000,1,0041")
                                  << "2.12.0|HLX2000|1|0041: 1 0 0 0 1 65";
    QTest::newRow("bit 13 set: served by the older windows only")
        << QByteArray("3.33.1,N,S,A000") << "3.33.1|N|S|A000: 1 0 1 0 0 40960";
    QTest::newRow("wireless") << QByteArray("3.33.1,N,S,8003") << "3.33.1|N|S|8003: 1 1 1 0 3 32771";
    QTest::newRow("lower case, bit 6 of another family")
        << QByteArray("2.12.0,N,S,c0fe") << "2.12.0|N|S|c0fe: 1 0 1 0 2 49406";
    QTest::newRow("not hexadecimal") << QByteArray("3.33.1,N,S,80G1") << "3.33.1|N|S|80G1: 0 0 0 0 -1 0";
    QTest::newRow("prefix") << QByteArray("3.33.1,N,S,0x80") << "3.33.1|N|S|0x80: 0 0 0 0 -1 0";
    QTest::newRow("sign") << QByteArray("3.33.1,N,S,+800") << "3.33.1|N|S|+800: 0 0 0 0 -1 0";
    QTest::newRow("five characters are no word")
        << QByteArray("3.33.1,N,S,80411") << "3.33.1|N|S|-: 0 0 0 0 -1 0";
    QTest::newRow("no field 4") << QByteArray("2.12.0,HLX") << "2.12.0|HLX||-: 0 0 0 0 -1 0";
  }
  void verReplyAndCapabilityWord() {
    QFETCH(QByteArray, fields);
    QFETCH(QString, read);
    const VerReply r = ParseVerReply(("$PQVXVER," + fields + "*00\r\n").toStdString());
    const Capabilities c = ParseCapabilities(r.caps);
    QCOMPARE(QStringLiteral("%1|%2|%3|%4: %5 %6 %7 %8 %9 %10")
                 .arg(r.version, r.name, r.serial, r.hasCaps ? r.caps : QStringLiteral("-"))
                 .arg(int(c.valid))
                 .arg(int(c.supported))
                 .arg(int(c.served))
                 .arg(int(c.updatable))
                 .arg(c.hostKind)
                 .arg(c.word),
             read);
  }

  // Only a group that may read and write the device is worth joining.
  void openAdviceNamesAGroupOnlyWhenItGrantsAccess() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyTEST"));
    QFile device(path);
    QVERIFY(device.open(QIODevice::WriteOnly));
    device.close();
    const QByteArray p = QFile::encodeName(path);
    if (::getegid() == 0) QCOMPARE(::chown(p.constData(), static_cast<uid_t>(-1), 1), 0);
    QCOMPARE(::chmod(p.constData(), 0600), 0);
    QVERIFY(SerialOpenAdvice(path, EACCES).contains(QStringLiteral("Ask your administrator")));
    QCOMPARE(::chmod(p.constData(), 0660), 0);
    QVERIFY(SerialOpenAdvice(path, EACCES).contains(QStringLiteral("belongs to the group")));
  }

  void triesEachSpeedForOneStepUntilALineArrives_data() {
    QTest::addColumn<bool>("current");  // else the older generations' list
    QTest::addColumn<int>("deviceAt");  // a line comes `answerMs` after this speed is tried
    QTest::addColumn<int>("answerMs");
    QTest::addColumn<QList<int>>("tried");
    QTest::addColumn<int>("found");  // what the line ends the search at
    QTest::addColumn<bool>("gaveUp");
    QTest::newRow("current, silent: a step at the opening speed, then 115200 down to 4800")
        << true << kNever << 0 << QList<int>{5, 4, 3, 2, 1, 0} << kAsOpened << true;
    QTest::newRow("older, silent: 38400 at once, then down to 4800")
        << false << kNever << 0 << QList<int>{3, 2, 1, 0} << kAsOpened << true;
    QTest::newRow("answer at 38400 within its step") << true << 3 << 50 << QList<int>{5, 4, 3} << 3 << false;
    QTest::newRow("a line at the opening speed")
        << true << kAsOpened << 50 << QList<int>{} << kAsOpened << false;
    QTest::newRow("late answer ends at the speed then tried")
        << false << 2 << 300 << QList<int>{3, 2, 1} << 1 << false;
    QTest::newRow("answer after the last step changes nothing")
        << false << 0 << 300 << QList<int>{3, 2, 1, 0} << kAsOpened << true;
  }
  void triesEachSpeedForOneStepUntilALineArrives() {
    QFETCH(bool, current);
    QFETCH(int, deviceAt);
    QFETCH(int, answerMs);
    QFETCH(QList<int>, tried);
    QFETCH(int, found);
    QFETCH(bool, gaveUp);
    const std::span<const int> speeds =
        current ? std::span<const int>(kCurrentSearchSpeeds) : std::span<const int>(kLegacySearchSpeeds);
    SpeedSearch search(speeds);
    QElapsedTimer clock;
    QList<int> triedNow;
    QList<qint64> triedAt;
    qint64 gaveUpAt = -1;
    int answer = kAsOpened;
    bool answered = false;
    const auto answerLater = [&] {
      QTimer::singleShot(answerMs, &search, [&] {
        answer = search.Answered();
        answered = true;
      });
    };
    connect(&search, &SpeedSearch::speedTried, &search, [&](int speed) {
      triedNow << speed;
      triedAt << clock.elapsed();
      if (speed == deviceAt) answerLater();
    });
    connect(&search, &SpeedSearch::gaveUp, &search, [&] { gaveUpAt = clock.elapsed(); });
    clock.start();
    search.Start();
    if (deviceAt == kAsOpened) answerLater();
    QTRY_VERIFY_WITH_TIMEOUT(deviceAt == kNever ? gaveUpAt >= 0 : answered, 5000);
    QCOMPARE_STEADY(triedNow, tried, 2 * kStepMs);  // nothing follows the end
    QCOMPARE(answer, found);
    QCOMPARE(gaveUpAt >= 0, gaveUp);
    // One step per speed, the first at once unless the opening speed is heard first.
    const int first = speeds.front() == kAsOpened ? 1 : 0;
    for (int i = 0; i < triedAt.size(); ++i)
      QVERIFY2(triedAt[i] >= (first + i) * kStepMs * 9 / 10 && triedAt[i] < (first + i + 1) * kStepMs,
               qPrintable(QStringLiteral("try %1 at %2 ms").arg(i).arg(triedAt[i])));
    if (gaveUp)
      QVERIFY2(gaveUpAt >= qint64(speeds.size()) * kStepMs * 9 / 10, qPrintable(QString::number(gaveUpAt)));
  }

  void parsesVersionNumbersAsFarAsTheirDigitsGo_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<VersionNumbers>("expected");
    // No dot gives zeros, digits count up to the first other character, a huge number saturates.
    for (auto [text, expected] : {std::pair{"3.33.1", VersionNumbers{3, 33, 1}},
                                  {"2.10", {2, 10, 0}},
                                  {"333", {0, 0, 0}},
                                  {"3.33b.7rc", {3, 33, 7}},
                                  {"4.1.2.9", {4, 1, 2}},
                                  {"x.y.z", {0, 0, 0}},
                                  {"99999999999999999999.1", {4294967295u, 1, 0}}})
      QTest::newRow(text) << QString(text) << expected;
  }
  void parsesVersionNumbersAsFarAsTheirDigitsGo() {
    QFETCH(QString, text);
    QFETCH(VersionNumbers, expected);
    QCOMPARE(ParseVersion(text.toStdString()), expected);
  }

  void mapsFirmwareToWindowGeneration_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<FormChoice>("expected");
    for (auto [version, expected] : {std::pair{"1.7.0", FormChoice{1, true}},
                                     {"2.1.7", {1, true}},
                                     {"2.2.0", {2, true}},
                                     {"2.8.3", {2, true}},
                                     {"2.9.4", {3, true}},
                                     {"2.10.0", {4, true}},
                                     {"3.32.9", {0, false}},
                                     {"3.33.0", {0, true}},
                                     {"4.0.0", {0, true}},
                                     {"banana", {0, true}}})
      QTest::newRow(version) << QString(version) << expected;
  }
  void mapsFirmwareToWindowGeneration() {
    QFETCH(QString, version);
    QFETCH(FormChoice, expected);
    QCOMPARE(FormChoiceFor(ParseVersion(version.toStdString())), expected);
  }

  void storedFormIdOpensItsWindow_restartOnlyIntoAnotherGeneration_data() {
    QTest::addColumn<Start>("start");
    QTest::newRow("none stored, older generation") << Start{{}, "2.9.4", 0, true, true, 3};
    QTest::newRow("none stored counts as the current window") << Start{{}, "3.33.1", 0, true, false, -1};
    QTest::newRow("same generation, too old") << Start{0, "3.32.9", 0, false, false, 0};
    QTest::newRow("4 opens its window") << Start{4, "2.10.0", 4, true, false, 4};
    QTest::newRow("7 opens the current window") << Start{7, "3.40.0", 0, true, true, 0};
    QTest::newRow("-1 opens the current window") << Start{-1, "4.0.0", 0, true, true, 0};
    QTest::newRow("unreadable counts as the current window") << Start{"x", "3.33.0", 0, true, false, 0};
  }
  void storedFormIdOpensItsWindow_restartOnlyIntoAnotherGeneration() {
    QFETCH(Start, start);
    if (start.stored.isValid()) Settings().setValue("FormID", start.stored);
    QCOMPARE(WindowForFormId(ReadFormId()), start.window);
    bool restarted = !start.restart;
    QCOMPARE(SelectFormId(ParseVersion(start.version), &restarted), start.supported);
    QCOMPARE(restarted, start.restart);
    QCOMPARE(m_restarts, start.restart ? 1 : 0);
    QCOMPARE(Settings().value("FormID", -1).toInt(), start.formIdAfter);
    QCOMPARE(Settings().value("ReConnect", 0).toInt(), start.restart ? 1 : 0);
  }

  // A complete set coming back, ReConnect read once, is driven through the window (tst_connection).
  void settingsAreRestoredUpToTheFirstMissingValue() {
    SaveSettings(false, {6, 4, QStringLiteral("127.0.0.9"), 1});
    Settings().remove("Port");
    Settings().setValue("ReConnect", 1);
    const StartSettings st = LoadStartSettings();
    QCOMPARE(st.baudRate, std::optional<int>(6));
    QVERIFY(!st.port && !st.ip && !st.currentTab && !st.reConnect);  // present, but after the missing Port
    QCOMPARE(Settings().value("ReConnect").toInt(), 0);
    SaveSettings(true);
    QVERIFY(Settings().allKeys().isEmpty());
  }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
