// Routing rules of the session core, driven with a recording window and
// recording registered handlers.

#include <QSignalSpy>
#include <QtTest>

#include "ScriptedPrompts.h"
#include "link/Nmeadefs.h"
#include "session/SessionCore.h"

using namespace hlx;

namespace {

std::string Line(const std::string& body) { return body + "\r\n"; }

// The window side of the dispatcher, plus the handlers a window registers.
class Recorder : public SessionEvents {
 public:
  QStringList calls;
  bool flEnds = false;
  bool logActive = false;
  QStringList wire;
  QStringList logged;
  test::ScriptedPrompts prompts;
  SessionCore core{*this, prompts};

  Recorder() {
    for (auto [id, name] : {std::pair{int(SidLDR), "LDR"}, {int(SidOV), "OV"}, {int(SidSTAT), "STAT"}, {int(SidWI), "WI"}})
      core.OnSentence(id, [this, name = name](const std::string& l) { Note(name, l); });
    core.SetReadBackHandler([this](int id, std::string_view l) {
      Note(qPrintable(QStringLiteral("readback %1").arg(id)), std::string(l));
      return id == SidFL && flEnds;
    });
    core.SetCaptureHandler([this](int source, std::string_view address) {
      calls << QStringLiteral("capture %1 %2").arg(source).arg(QString::fromStdString(std::string(address)));
    });
  }

  void Note(const char* what, const std::string& line) {
    std::string l = line;
    while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
    calls << QString::fromLatin1(what) + QLatin1Char(' ') + QString::fromStdString(l);
  }
  void ShowLine(const std::string& l) override { Note("show", l); }
  void HandleVerReply(const std::string& l) override { Note("VER", l); }
  void EndAutoBaud(int index) override { calls << QStringLiteral("endAutoBaud %1").arg(index); }
  void ProgramFirmware(const std::string& l) override { Note("program", l); }
  void RestoreAfterLoaderTimeout() override { calls << QStringLiteral("restoreLoader"); }
  void RefreshControls(bool enable) override { calls << QStringLiteral("refresh %1").arg(enable); }
  void UpdateControls() override { calls << QStringLiteral("update"); }
  void Transmit(std::string_view text) override { wire << QString::fromStdString(std::string(text)); }
  bool LogActive() const override { return logActive; }
  void LogSent(std::string_view text) override { logged << QString::fromStdString(std::string(text)); }

  // Calls other than the display, in order.
  QStringList Handled() const {
    QStringList out;
    for (const QString& c : calls)
      if (!c.startsWith(QLatin1String("show "))) out << c;
    return out;
  }
};

}  // namespace

class DispatcherTest : public QObject {
  Q_OBJECT

 private slots:
  void routesEachReplyByState_data();
  void routesEachReplyByState();
  void viewFilterShowsOnlyTheChosenInputAndUntaggedLines_data();
  void viewFilterShowsOnlyTheChosenInputAndUntaggedLines();
  void statisticsAreHandledButNeverShown();
  void updatingIsSetDuringDispatchAndClearedAfter();
  void endOfFilterListReturnsToIdle_enablesControlsOnlyForAcceptedDevice();
  void anyLineEndsTheSpeedSearchKeepingTheTriedSpeed();
  void bootloaderAnswerStartsProgrammingAndArmsTheFailureTimeout();
  void verAfterProgrammingReportsSuccess();
  void timeoutShowsItsMessageAndReturnsToIdle_data();
  void timeoutShowsItsMessageAndReturnsToIdle();
  void sendSentenceCompletesLogsAndSends();
  void lineIsCutAtAnEmbeddedNul();
};

void DispatcherTest::routesEachReplyByState_data() {
  QTest::addColumn<SessionState>("state");
  QTest::addColumn<QString>("line");
  QTest::addColumn<QStringList>("expected");

  const QString ver = QStringLiteral("$PQVXVER,3.33.1,HLX,123,8041");
  QTest::newRow("identify: VER handled") << SessionState::Identify << ver << QStringList{"VER " + ver};
  QTest::newRow("identify: CF ignored") << SessionState::Identify << "$PQVXCF,R,5" << QStringList{};
  QTest::newRow("readconfig: every line goes to the read-back table")
      << SessionState::ReadConfig << ver << QStringList{"readback 2 " + ver};
  QTest::newRow("readconfig: CF") << SessionState::ReadConfig << "$PQVXCF,R,5" << QStringList{"readback 5 $PQVXCF,R,5"};
  QTest::newRow("readconfig: FL not last")
      << SessionState::ReadConfig << "$PQVXFL,R,1" << QStringList{"readback 9 $PQVXFL,R,1"};
  QTest::newRow("readconfig: OV in every state, then the read-back sees it too")
      << SessionState::ReadConfig << "$PQVXOV,5" << QStringList{"OV $PQVXOV,5", "readback 3 $PQVXOV,5"};
  QTest::newRow("idle: STAT in every state") << SessionState::Idle << "$PQVXSTAT,1,2" << QStringList{"STAT $PQVXSTAT,1,2"};
  QTest::newRow("idle: WI in every state") << SessionState::Idle << "$PQVXWI,R,1" << QStringList{"WI $PQVXWI,R,1"};
  QTest::newRow("idle: LDR in every state") << SessionState::Idle << "$PQVXLDR,2" << QStringList{"LDR $PQVXLDR,2"};
  QTest::newRow("idle: VER ignored") << SessionState::Idle << ver << QStringList{};
  QTest::newRow("idle: config reply ignored") << SessionState::Idle << "$PQVXCF,R,5" << QStringList{};
  QTest::newRow("capture: tagged line") << SessionState::Capture << "\\s:HLX-3*00\\$GPRMC,1" << QStringList{"capture 3 GPRMC"};
  QTest::newRow("capture: untagged line ignored") << SessionState::Capture << "$GPRMC,1" << QStringList{};
  QTest::newRow("capture: tag without source ignored") << SessionState::Capture << "\\c:1*00\\$GPRMC,1" << QStringList{};
  QTest::newRow("firmware restart: VER ends the update")
      << SessionState::FwRestart << ver << QStringList{"VER " + ver, "update"};
  QTest::newRow("firmware restart: other lines wait") << SessionState::FwRestart << "$GPRMC,1" << QStringList{};
  QTest::newRow("firmware loader: VER ignored") << SessionState::FwLoader << ver << QStringList{};
  QTest::newRow("proprietary look-alike is not ours")
      << SessionState::ReadConfig << "$PQVXCFX,R,5" << QStringList{"readback 0 $PQVXCFX,R,5"};
  QTest::newRow("cut-off line matches nothing") << SessionState::Identify << "$PQVXVER,3.3" << QStringList{};
}

void DispatcherTest::routesEachReplyByState() {
  QFETCH(SessionState, state);
  QFETCH(QString, line);
  QFETCH(QStringList, expected);
  Recorder h;
  h.core.SetState(state);
  // The cut-off row keeps its missing line end on purpose.
  const std::string raw = line.endsWith(QLatin1String("3.3")) ? line.toStdString() : Line(line.toStdString());
  h.core.Dispatch(raw);
  QCOMPARE(h.Handled(), expected);
  // Every line except statistics reaches the view, whatever the state.
  QCOMPARE(h.calls.contains(QStringLiteral("show ") + line), !line.contains(QLatin1String("PQVXSTAT")));
}

void DispatcherTest::viewFilterShowsOnlyTheChosenInputAndUntaggedLines_data() {
  QTest::addColumn<int>("viewFilter");
  QTest::addColumn<QString>("line");
  QTest::addColumn<bool>("shown");
  QTest::newRow("filter 2, source 2") << 2 << "\\s:HLX-2*00\\$GPRMC,1" << true;
  QTest::newRow("filter 2, source 3") << 2 << "\\s:HLX-3*00\\$GPRMC,1" << false;
  QTest::newRow("filter 2, no TAG block") << 2 << "$GPRMC,1" << true;
  QTest::newRow("filter 2, TAG without source") << 2 << "\\c:12*00\\$GPRMC,1" << true;
  QTest::newRow("filter 5 shows converted") << 5 << "\\s:HLX-5*00\\$GPHDT,1" << true;
  QTest::newRow("filter 5 hides input 1") << 5 << "\\s:HLX-1*00\\$GPHDT,1" << false;
  QTest::newRow("all inputs show everything") << 0 << "\\s:HLX-4*00\\$GPRMC,1" << true;
}

void DispatcherTest::viewFilterShowsOnlyTheChosenInputAndUntaggedLines() {
  QFETCH(int, viewFilter);
  QFETCH(QString, line);
  QFETCH(bool, shown);
  Recorder h;
  h.core.ViewFilter = viewFilter;
  h.core.Dispatch(Line(line.toStdString()));
  QCOMPARE(h.calls.contains(QStringLiteral("show ") + line), shown);
}

void DispatcherTest::statisticsAreHandledButNeverShown() {
  for (SessionState state : {SessionState::Idle, SessionState::Identify, SessionState::Capture}) {
    Recorder h;
    h.core.SetState(state);
    h.core.Dispatch(Line("\\s:HLX-1*00\\$PQVXSTAT,10,20,30,40,50"));
    QCOMPARE(h.calls.filter(QStringLiteral("show ")).size(), 0);
    QCOMPARE(h.calls.first(), QStringLiteral("STAT \\s:HLX-1*00\\$PQVXSTAT,10,20,30,40,50"));
  }
}

void DispatcherTest::updatingIsSetDuringDispatchAndClearedAfter() {
  Recorder h;
  bool seen = false;
  h.core.OnSentence(SidOV, [&](const std::string&) { seen = h.core.Updating(); });
  h.core.Dispatch(Line("$PQVXOV,1"));
  QVERIFY(seen);
  QVERIFY(!h.core.Updating());
}

void DispatcherTest::endOfFilterListReturnsToIdle_enablesControlsOnlyForAcceptedDevice() {
  for (int hostKind : {-1, 0, 3}) {
    Recorder h;
    h.flEnds = true;
    h.core.HostKind = hostKind;
    h.core.SetState(SessionState::ReadConfig);
    h.core.Dispatch(Line("$PQVXFL,R"));
    QCOMPARE(h.core.State(), SessionState::Idle);
    QCOMPARE(h.calls.contains(QStringLiteral("refresh 1")), hostKind >= 0);
  }
}

void DispatcherTest::anyLineEndsTheSpeedSearchKeepingTheTriedSpeed() {
  for (const char* line : {"$GPGLL,1", "$PQVXVER,3.33.1,HLX,1,8041"}) {
    Recorder h;
    h.core.SetState(SessionState::AutoBaud);
    h.core.AutoBaudIndex = 3;
    h.core.Dispatch(Line(line));
    QCOMPARE(h.core.State(), SessionState::Idle);
    QStringList expected{"endAutoBaud 3"};
    if (QByteArray(line).contains("VER")) expected << QStringLiteral("VER ") + line;
    QCOMPARE(h.Handled(), expected << "update");
  }
}

void DispatcherTest::bootloaderAnswerStartsProgrammingAndArmsTheFailureTimeout() {
  Recorder h;
  h.core.SetState(SessionState::FwLoader);
  h.core.Dispatch(Line("$PQVXLDR,2"));
  QCOMPARE(h.core.State(), SessionState::FwRestart);
  QCOMPARE(h.Handled(), (QStringList{"LDR $PQVXLDR,2", "program $PQVXLDR,2"}));
  QVERIFY(h.core.TimeoutRunning());
  QTRY_COMPARE_WITH_TIMEOUT(h.prompts.texts(), QStringList{"The firmware update failed"}, 4000);
  QCOMPARE(h.core.State(), SessionState::Idle);
}

void DispatcherTest::verAfterProgrammingReportsSuccess() {
  Recorder h;
  h.core.SetState(SessionState::FwRestart);
  h.core.Dispatch(Line("$PQVXVER,3.40.0,HLX,1,8041"));
  QCOMPARE(h.core.State(), SessionState::Idle);
  QCOMPARE(h.prompts.texts(), QStringList{"The firmware update was successful"});
}

void DispatcherTest::timeoutShowsItsMessageAndReturnsToIdle_data() {
  QTest::addColumn<SessionState>("state");
  QTest::addColumn<QStringList>("calls");
  QTest::newRow("identify") << SessionState::Identify << QStringList{"update"};
  QTest::newRow("loader restores the window first") << SessionState::FwLoader << QStringList{"restoreLoader", "update"};
}

void DispatcherTest::timeoutShowsItsMessageAndReturnsToIdle() {
  QFETCH(SessionState, state);
  QFETCH(QStringList, calls);
  Recorder h;
  h.core.SetState(state);
  h.core.StartTimeout(QStringLiteral("Multiplexer does not respond"));
  QTest::qWait(1500);
  QVERIFY(h.prompts.records.isEmpty());  // not before 2000 ms
  QTRY_COMPARE(h.prompts.texts(), QStringList{"Multiplexer does not respond"});
  QCOMPARE(h.core.State(), SessionState::Idle);
  QVERIFY(!h.core.TimeoutRunning());
  QCOMPARE(h.calls, calls);
}

void DispatcherTest::sendSentenceCompletesLogsAndSends() {
  Recorder h;
  h.logActive = true;
  h.core.SendSentence("PQVXVER");
  h.core.SendSentence("");
  h.core.SendSentence("!AIVDM,1");
  QCOMPARE(h.logged, (QStringList{"$PQVXVER", "!AIVDM,1"}));
  QCOMPARE(h.wire, (QStringList{"$PQVXVER", "!AIVDM,1"}));  // the port adds checksum and line end

  Recorder quiet;  // no log open: nothing logged, still sent
  quiet.core.SendSentence("PQVXCFQ");
  QVERIFY(quiet.logged.isEmpty());
  QCOMPARE(quiet.wire, QStringList{"$PQVXCFQ"});
}

void DispatcherTest::lineIsCutAtAnEmbeddedNul() {
  Recorder h;
  h.core.SetState(SessionState::Identify);
  std::string line = "$PQVXVER,3.33.1,HLX,1,8041\r\n";
  line.insert(8, 1, '\0');
  h.core.Dispatch(line);
  QVERIFY(h.Handled().isEmpty());  // "$PQVXVER" alone is not a sentence
}

QTEST_GUILESS_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
