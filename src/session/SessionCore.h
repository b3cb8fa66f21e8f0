#pragma once
// Session core of the current main window: what the window is waiting for
// (SessionState), the receive dispatcher, the one send operation and the
// reply time-out. It knows the window only through SessionEvents, and the
// features that read replies register their handlers here, so the routing
// rules run (and are tested) without any widget.

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <string_view>

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
  // Programs the firmware once the bootloader has announced itself; true on success.
  using LoaderHandler = std::function<bool(const std::string& ldrLine)>;

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
  // The firmware update: what runs when the bootloader announces itself
  // (FwLoader), and what puts the window back when it never does.
  void SetLoaderHandlers(LoaderHandler onLoader, std::function<void()> onLoaderTimeout) {
    m_onLoader = std::move(onLoader);
    m_onLoaderTimeout = std::move(onLoaderTimeout);
  }

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
  // Whether the last programming run succeeded.
  bool Programmed() const { return m_programmed; }

  // The device belongs to another generation's window, which is starting:
  // from now on nothing is sent and no reply is handled.
  void HandOver() { m_handedOver = true; }

  // Dispatches every line the port has queued.
  void DrainRxQueue(TComm* comm);
  void Dispatch(std::string line);
  void SendSentence(std::string_view text);

 signals:
  void stateChanged(hlx::SessionState state);

 private:
  void OnTimeOut();
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
  LoaderHandler m_onLoader;
  std::function<void()> m_onLoaderTimeout;
  // Whether the last programming run succeeded: only then does the version
  // report of the restarted multiplexer mean success.
  bool m_programmed = false;
  bool m_handedOver = false;
};

}  // namespace hlx
