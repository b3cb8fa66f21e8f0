#pragma once
// Session core of the current main window: what the window is waiting for
// (SessionState), the receive dispatcher, the one send operation and the
// reply time-out. It knows the window only through SessionEvents, and the
// features that read replies register their handlers here, so the routing
// rules run (and are tested) without any widget.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "session/SentenceInspector.h"
#include "session/SessionHost.h"
#include "session/SpeedSearch.h"

namespace hlx {

class TComm;
class UserPrompts;

inline constexpr int kHostUnknown = -1;  // no capability word has named the host port yet

// What the dispatcher asks of the window it runs in.
class SessionEvents {
 public:
  virtual ~SessionEvents() = default;
  virtual void ShowLine(const std::string& line) = 0;
  virtual void HandleVerReply(const std::string& line) = 0;
  // The speed search heard a line at `speedIndex` (kAsOpened: the opening speed).
  virtual void EndAutoBaud(int speedIndex) = 0;
  virtual void RefreshControls(bool enable) = 0;
  virtual void UpdateControls() = 0;
  // Hands a completed command to the port.
  virtual void Transmit(std::string_view text) = 0;
  virtual bool LogActive() const = 0;
  virtual void LogSent(std::string_view text) = 0;
};

// The display rule of the traffic view.
bool PassesViewFilter(std::string_view line, int viewFilter, int source);

class SessionCore : public QObject {
  Q_OBJECT
 public:
  using LineHandler = std::function<void(const std::string& line)>;
  // Returns true when the reply ended the read-back (the end of the filter list).
  using ReadBackHandler = std::function<bool(int sentenceId, std::string_view line)>;
  using CaptureHandler = std::function<void(int source, std::string_view address)>;
  using StateLineHandler = std::function<void(int sentenceId, const std::string& line)>;

  SessionCore(SessionEvents& events, UserPrompts& prompts, QObject* parent = nullptr);

  SessionState State() const { return m_state; }
  void SetState(SessionState state);
  bool Updating() const { return m_updating; }
  void SetUpdating(bool updating) { m_updating = updating; }

  // Runs in every state for lines of `sentenceId` (overflow, statistics,
  // bootloader, wireless module). One handler per sentence.
  void OnSentence(int sentenceId, LineHandler handler);
  // Replies of the configuration read-back, while ReadConfig.
  void SetReadBackHandler(ReadBackHandler handler) { m_readBack = std::move(handler); }
  // Every line with a TAG block source, while Capture.
  void SetCaptureHandler(CaptureHandler handler) { m_capture = std::move(handler); }
  // A feature's own state: every line that arrives while in `state` goes to
  // `onLine`; `onAbandon` runs when the state ends without it, by the reply
  // time-out (before its message) or with the session.
  void OwnState(SessionState state, StateLineHandler onLine, std::function<void()> onAbandon = {});
  // For a feature's state that ends in the device's version report: the
  // window takes it as the reply to its version query.
  void PassVersionReply(const std::string& line);
  // A feature's state is over: Idle, and the window's controls follow.
  void ReturnToIdle();
  UserPrompts& Prompts() { return m_prompts; }

  // The monitor shows input 1..5 only (and untagged lines), or every line (0).
  int ViewFilter() const { return m_viewFilter; }
  void SetViewFilter(int input) { m_viewFilter = input; }
  // The host port the device's capability word named (kHost...), kHostUnknown until then.
  int HostKind() const { return m_hostKind; }
  void SetHostKind(int kind) { m_hostKind = kind; }
  // The channel is closed: no reply can come, so nothing times out, and
  // whatever was awaited ends (Idle); the next device starts unknown, every
  // input shown.
  void EndSession();

  // The speed search (state AutoBaud): the window sets the port on each speed
  // tried; the first line ends it, and so does the last step (Idle).
  void StartSpeedSearch();
  SpeedSearch& Search() { return m_search; }

  // Sets the message and (re)starts the reply time-out.
  void StartTimeout(const QString& message);
  void StopTimeout() { m_timeOutTimer.stop(); }

  // The device belongs to another generation's window, which is starting:
  // from now on nothing is sent and no reply is handled.
  void HandOver() { m_handedOver = true; }

  // Every received line passes the inspector, whatever the view shows.
  SentenceInspector& Inspector() { return m_inspector; }
  const SentenceInspector& Inspector() const { return m_inspector; }
  // Milliseconds of the session's steady clock, the inspector's time.
  std::int64_t NowMs() const { return m_clock.elapsed(); }
  // Sees every received line first, whatever the view shows (a capture being recorded).
  void SetLineTap(std::function<void(std::string_view line)> tap) { m_lineTap = std::move(tap); }

  // Dispatches every line the port has queued.
  void DrainRxQueue(TComm* comm);
  void Dispatch(std::string line);
  void SendSentence(std::string_view text);

 signals:
  void stateChanged(hlx::SessionState state);

 private:
  void OnTimeOut();
  void Abandon();
  void DispatchByState(int id, int source, const std::string& address, const std::string& line);

  SessionEvents& m_events;
  UserPrompts& m_prompts;
  SessionState m_state = SessionState::Idle;
  bool m_updating = false;
  int m_viewFilter = 0;
  // The window starts as if a serial model were connected.
  int m_hostKind = 0;
  QString m_timeoutMsg;
  QTimer m_timeOutTimer;
  SpeedSearch m_search;
  std::map<int, LineHandler> m_anyState;
  ReadBackHandler m_readBack;
  CaptureHandler m_capture;
  struct OwnedState {
    StateLineHandler onLine;
    std::function<void()> onAbandon;
  };
  std::map<SessionState, OwnedState> m_owned;
  bool m_handedOver = false;
  SentenceInspector m_inspector;
  QElapsedTimer m_clock;
  std::function<void(std::string_view)> m_lineTap;
};

// A host whose session is a SessionCore of its own (the current window and
// hlx-cli): the session state it tells features is the core's.
class CoreHost : public SessionHost {
 public:
  bool Updating() const override { return m_core->Updating(); }
  void SetUpdating(bool updating) override { m_core->SetUpdating(updating); }
  SessionState State() const override { return m_core->State(); }
  void SetState(SessionState state) override { m_core->SetState(state); }

 protected:
  std::unique_ptr<SessionCore> m_core;
};

}  // namespace hlx
