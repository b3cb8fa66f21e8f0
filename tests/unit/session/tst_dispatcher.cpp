// Routing rules of the session core, driven with a recording window and handlers.

#include <QtTest>

#include "ScriptedPrompts.h"
#include "link/Nmeadefs.h"
#include "session/SessionCore.h"

using namespace hlx;

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

}  // namespace

class DispatcherTest : public QObject {
  Q_OBJECT

 private slots:
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
    QTest::qWait(1500);
    QVERIFY(h.prompts.records.isEmpty());  // not before 2000 ms
    if (sessionEnds) QTest::qWait(800);    // past 2000 ms: the ended session's timer stayed quiet
    QTRY_COMPARE(h.Handled(), handled);
    QCOMPARE(h.core.State(), SessionState::Idle);
  }
};

QTEST_GUILESS_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
