// Routing rules of the session core, driven with a recording handler set.

#include <pty.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QtTest>

#include "ScriptedPrompts.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/SessionCore.h"

using namespace hlx;

namespace {

std::string Line(const std::string& body) { return body + "\r\n"; }

class RecordingHandlers : public SessionHandlers {
 public:
  QStringList calls;
  bool flEnds = false;
  SessionCore* core = nullptr;
  TComm* reenterComm = nullptr;  // ShowLine drains this queue again once
  bool logActive = false;
  QStringList wire;
  QStringList logged;

  void Note(const char* what, const std::string& line) {
    std::string l = line;
    while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
    calls << QString::fromLatin1(what) + QLatin1Char(' ') + QString::fromStdString(l);
  }
  void HandleLdrSentence(const std::string& l) override { Note("LDR", l); }
  void HandleOvReply(const std::string& l) override { Note("OV", l); }
  void HandleSTATReply(const std::string& l) override { Note("STAT", l); }
  void HandleWiSentence(const std::string& l) override { Note("WI", l); }
  void ShowLine(const std::string& l) override {
    Note("show", l);
    if (reenterComm) {
      TComm* c = reenterComm;
      reenterComm = nullptr;
      core->DrainRxQueue(c);
    }
  }
  void HandleVerReply(const std::string& l) override { Note("VER", l); }
  void HandleCFReply(const std::string& l) override { Note("CF", l); }
  void HandleDRReply(const std::string& l) override { Note("DR", l); }
  void HandleIDReply(const std::string& l) override { Note("ID", l); }
  void HandleSPReply(const std::string& l) override { Note("SP", l); }
  void HandleOPReply(const std::string& l) override { Note("OP", l); }
  void HandleINReply(const std::string& l) override { Note("IN", l); }
  bool HandleFLReply(const std::string& l) override {
    Note("FL", l);
    return flEnds;
  }
  void HandleCaptureLine(int source, const std::string& address) override {
    calls << QStringLiteral("capture %1 %2").arg(source).arg(QString::fromStdString(address));
  }
  void EndAutoBaud(int index) override { calls << QStringLiteral("endAutoBaud %1").arg(index); }
  void ProgramFirmware(const std::string& l) override { Note("program", l); }
  void RestoreAfterLoaderTimeout() override { calls << QStringLiteral("restoreLoader"); }
  void RefreshControls(bool enable) override { calls << QStringLiteral("refresh %1").arg(enable); }
  void UpdateControls() override { calls << QStringLiteral("update"); }
  void Transmit(std::string_view text) override { wire << QString::fromStdString(CompleteSentence(text)); }
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
  void timeoutShowsItsMessageAndReturnsToIdle();
  void loaderTimeoutRestoresTheWindowFirst();
  void sendSentenceCompletesLogsAndSends();
  void drainDispatchesEveryQueuedLineOnceEvenWhenReentered();
  void lineIsCutAtAnEmbeddedNul();
};

void DispatcherTest::routesEachReplyByState_data() {
  QTest::addColumn<int>("state");
  QTest::addColumn<QString>("line");
  QTest::addColumn<QStringList>("expected");

  const QString ver = QStringLiteral("$PQVXVER,3.33.1,HLX,123,8041");
  QTest::newRow("identify: VER handled") << int(Identify) << ver << QStringList{"VER " + ver};
  QTest::newRow("identify: CF ignored") << int(Identify) << "$PQVXCF,R,5" << QStringList{};
  QTest::newRow("readconfig: second VER ignored") << int(ReadConfig) << ver << QStringList{};
  QTest::newRow("readconfig: CF") << int(ReadConfig) << "$PQVXCF,R,5" << QStringList{"CF $PQVXCF,R,5"};
  QTest::newRow("readconfig: DR") << int(ReadConfig) << "$PQVXDR,R,1" << QStringList{"DR $PQVXDR,R,1"};
  QTest::newRow("readconfig: ID") << int(ReadConfig) << "$PQVXID,R,1" << QStringList{"ID $PQVXID,R,1"};
  QTest::newRow("readconfig: SP") << int(ReadConfig) << "$PQVXSP,R,1" << QStringList{"SP $PQVXSP,R,1"};
  QTest::newRow("readconfig: OP") << int(ReadConfig) << "$PQVXOP,R,1" << QStringList{"OP $PQVXOP,R,1"};
  QTest::newRow("readconfig: IN") << int(ReadConfig) << "$PQVXIN,R,1" << QStringList{"IN $PQVXIN,R,1"};
  QTest::newRow("readconfig: FL not last") << int(ReadConfig) << "$PQVXFL,R,1" << QStringList{"FL $PQVXFL,R,1"};
  QTest::newRow("readconfig: ordinary sentence") << int(ReadConfig) << "$GPRMC,1,2" << QStringList{};
  QTest::newRow("readconfig: OV in every state")
      << int(ReadConfig) << "$PQVXOV,5" << QStringList{"OV $PQVXOV,5"};
  QTest::newRow("idle: STAT in every state") << int(Idle) << "$PQVXSTAT,1,2" << QStringList{"STAT $PQVXSTAT,1,2"};
  QTest::newRow("idle: WI in every state") << int(Idle) << "$PQVXWI,R,1" << QStringList{"WI $PQVXWI,R,1"};
  QTest::newRow("idle: LDR in every state") << int(Idle) << "$PQVXLDR,2" << QStringList{"LDR $PQVXLDR,2"};
  QTest::newRow("idle: VER ignored") << int(Idle) << ver << QStringList{};
  QTest::newRow("idle: config reply ignored") << int(Idle) << "$PQVXCF,R,5" << QStringList{};
  QTest::newRow("capture: tagged line") << int(Capture) << "\\s:HLX-3*00\\$GPRMC,1" << QStringList{"capture 3 GPRMC"};
  QTest::newRow("capture: untagged line ignored") << int(Capture) << "$GPRMC,1" << QStringList{};
  QTest::newRow("capture: tag without source ignored") << int(Capture) << "\\c:1*00\\$GPRMC,1" << QStringList{};
  QTest::newRow("firmware restart: VER ends the update")
      << int(FwRestart) << ver << QStringList{"VER " + ver, "update"};
  QTest::newRow("firmware restart: other lines wait") << int(FwRestart) << "$GPRMC,1" << QStringList{};
  QTest::newRow("firmware loader: VER ignored") << int(FwLoader) << ver << QStringList{};
  QTest::newRow("proprietary look-alike is not ours")
      << int(ReadConfig) << "$PQVXCFX,R,5" << QStringList{};
  QTest::newRow("cut-off line matches nothing") << int(Identify) << "$PQVXVER,3.3" << QStringList{};
}

void DispatcherTest::routesEachReplyByState() {
  QFETCH(int, state);
  QFETCH(QString, line);
  QFETCH(QStringList, expected);
  test::ScriptedPrompts prompts;
  RecordingHandlers h;
  SessionCore core(h);
  core.SetSessionState(static_cast<std::uint8_t>(state));
  // The cut-off row keeps its missing line end on purpose.
  const std::string raw = line.endsWith(QLatin1String("3.3")) ? line.toStdString() : Line(line.toStdString());
  core.Dispatch(raw);
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
  RecordingHandlers h;
  SessionCore core(h);
  core.ViewFilter = viewFilter;
  core.Dispatch(Line(line.toStdString()));
  QCOMPARE(h.calls.contains(QStringLiteral("show ") + line), shown);
}

void DispatcherTest::statisticsAreHandledButNeverShown() {
  for (int state : {int(Idle), int(Identify), int(ReadConfig), int(Capture)}) {
    RecordingHandlers h;
    SessionCore core(h);
    core.SetSessionState(static_cast<std::uint8_t>(state));
    core.Dispatch(Line("\\s:HLX-1*00\\$PQVXSTAT,10,20,30,40,50"));
    QCOMPARE(h.calls.filter(QStringLiteral("show ")).size(), 0);
    QCOMPARE(h.calls.first(), QStringLiteral("STAT \\s:HLX-1*00\\$PQVXSTAT,10,20,30,40,50"));
  }
}

void DispatcherTest::updatingIsSetDuringDispatchAndClearedAfter() {
  struct Probe : RecordingHandlers {
    bool seen = false;
    void HandleOvReply(const std::string&) override { seen = core->Updating(); }
  } h;
  SessionCore core(h);
  h.core = &core;
  core.Dispatch(Line("$PQVXOV,1"));
  QVERIFY(h.seen);
  QVERIFY(!core.Updating());
}

void DispatcherTest::endOfFilterListReturnsToIdle_enablesControlsOnlyForAcceptedDevice() {
  for (int hostKind : {-1, 0, 3}) {
    RecordingHandlers h;
    h.flEnds = true;
    SessionCore core(h);
    core.HostKind = hostKind;
    core.SetSessionState(ReadConfig);
    core.Dispatch(Line("$PQVXFL,R"));
    QCOMPARE(core.SessionState(), std::uint8_t(Idle));
    QCOMPARE(h.calls.contains(QStringLiteral("refresh 1")), hostKind >= 0);
  }
}

void DispatcherTest::anyLineEndsTheSpeedSearchKeepingTheTriedSpeed() {
  RecordingHandlers h;
  SessionCore core(h);
  core.SetSessionState(AutoBaud);
  core.AutoBaudIndex = 3;
  core.Dispatch(Line("$GPGLL,1"));
  QCOMPARE(core.SessionState(), std::uint8_t(Idle));
  QCOMPARE(h.Handled(), (QStringList{"endAutoBaud 3", "update"}));

  RecordingHandlers h2;
  SessionCore core2(h2);
  core2.SetSessionState(AutoBaud);
  core2.AutoBaudIndex = 5;
  core2.Dispatch(Line("$PQVXVER,3.33.1,HLX,1,8041"));
  QCOMPARE(h2.Handled(), (QStringList{"endAutoBaud 5", "VER $PQVXVER,3.33.1,HLX,1,8041", "update"}));
}

void DispatcherTest::bootloaderAnswerStartsProgrammingAndArmsTheFailureTimeout() {
  RecordingHandlers h;
  SessionCore core(h);
  core.SetSessionState(FwLoader);
  core.Dispatch(Line("$PQVXLDR,2"));
  QCOMPARE(core.SessionState(), std::uint8_t(FwRestart));
  QCOMPARE(h.Handled(), (QStringList{"LDR $PQVXLDR,2", "program $PQVXLDR,2"}));
  QVERIFY(core.TimeoutRunning());
  QCOMPARE(core.TimeoutMsg, QStringLiteral("The firmware update failed"));
}

void DispatcherTest::verAfterProgrammingReportsSuccess() {
  test::ScriptedPrompts prompts;
  RecordingHandlers h;
  SessionCore core(h);
  core.SetSessionState(FwRestart);
  core.Dispatch(Line("$PQVXVER,3.40.0,HLX,1,8041"));
  QCOMPARE(core.SessionState(), std::uint8_t(Idle));
  QCOMPARE(prompts.texts(), QStringList{"The firmware update was successful"});
}

void DispatcherTest::timeoutShowsItsMessageAndReturnsToIdle() {
  test::ScriptedPrompts prompts;
  RecordingHandlers h;
  SessionCore core(h);
  core.TimeOutTimer().setInterval(20);
  core.SetSessionState(Identify);
  core.StartTimeout(QStringLiteral("Multiplexer does not respond"));
  QTRY_COMPARE(prompts.texts(), QStringList{"Multiplexer does not respond"});
  QCOMPARE(core.SessionState(), std::uint8_t(Idle));
  QVERIFY(!core.TimeoutRunning());
  QCOMPARE(h.calls, QStringList{"update"});
}

void DispatcherTest::loaderTimeoutRestoresTheWindowFirst() {
  test::ScriptedPrompts prompts;
  RecordingHandlers h;
  SessionCore core(h);
  core.TimeOutTimer().setInterval(20);
  core.SetSessionState(FwLoader);
  core.StartTimeout(QStringLiteral("Bootloader: Initialisation failed"));
  QTRY_COMPARE(prompts.texts(), QStringList{"Bootloader: Initialisation failed"});
  QCOMPARE(h.calls, (QStringList{"restoreLoader", "update"}));
}

void DispatcherTest::sendSentenceCompletesLogsAndSends() {
  RecordingHandlers h;
  h.logActive = true;
  SessionCore core(h);
  core.SendSentence("PQVXVER");
  core.SendSentence("");
  core.SendSentence("!AIVDM,1");
  QCOMPARE(h.logged, (QStringList{"$PQVXVER", "!AIVDM,1"}));
  QCOMPARE(h.wire.first(), QString::fromStdString(CompleteSentence("$PQVXVER")));
  QVERIFY(h.wire.first().endsWith(QLatin1String("\r\n")));
  QCOMPARE(h.wire.size(), 2);

  RecordingHandlers quiet;  // no log open: nothing logged, still sent
  SessionCore core2(quiet);
  core2.SendSentence("PQVXCFQ");
  QVERIFY(quiet.logged.isEmpty());
  QCOMPARE(quiet.wire.size(), 1);
}

void DispatcherTest::drainDispatchesEveryQueuedLineOnceEvenWhenReentered() {
  // The queue is filled the way a port fills it: lines over a pseudo-terminal.
  struct Window : QObject {
    int rxEvents = 0;
    bool event(QEvent* e) override {
      if (e->type() != WM_RXDATA) return QObject::event(e);
      ++rxEvents;
      return true;
    }
  } window;
  int master = -1;
  int slave = -1;
  char name[256] = {};
  QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  const auto closeMaster = qScopeGuard([master] { ::close(master); });
  TComm comm(&window);
  QCOMPARE(comm.Open(ChSerial, QString::fromLocal8Bit(name), 5), ChSerial);
  const std::string lines = "$GPGLL,1\r\n$GPGLL,2\r\n$GPGLL,3\r\n$GPGLL,4\r\n";
  QCOMPARE(::write(master, lines.data(), lines.size()), ssize_t(lines.size()));
  QTRY_COMPARE(window.rxEvents, 4);

  RecordingHandlers h;
  SessionCore core(h);
  h.core = &core;
  h.reenterComm = &comm;  // the first ShowLine runs a nested drain, as a modal box would
  core.DrainRxQueue(&comm);
  QCOMPARE(h.calls, (QStringList{"show $GPGLL,1", "show $GPGLL,2", "show $GPGLL,3", "show $GPGLL,4"}));
  core.DrainRxQueue(&comm);  // nothing is left over for a second drain
  QCOMPARE(h.calls.size(), 4);
  core.DrainRxQueue(nullptr);  // a window without a port does nothing
}

void DispatcherTest::lineIsCutAtAnEmbeddedNul() {
  RecordingHandlers h;
  SessionCore core(h);
  core.SetSessionState(Identify);
  std::string line = "$PQVXVER,3.33.1,HLX,1,8041\r\n";
  line.insert(8, 1, '\0');
  core.Dispatch(line);
  QVERIFY(h.Handled().isEmpty());  // "$PQVXVER" alone is not a sentence
}

QTEST_GUILESS_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
