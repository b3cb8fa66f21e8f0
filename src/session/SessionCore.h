#pragma once
// Session core of the main window: what the window is waiting for
// (SessionState), the receive dispatcher, the one send operation and the
// reply time-out. It knows the window only through SessionHandlers, so the
// routing rules run (and are tested) without any widget, and later handlers
// (bootloader, wireless module) plug in by overriding a virtual.

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <string>
#include <string_view>

#include "config/ConfigHost.h"

namespace hlx {

class TComm;

inline constexpr int kReplyTimeoutMs = 2000;
inline constexpr const char* kStatAddressText = "PQVXSTAT";

// Everything the dispatcher calls on the window. Handlers the window does not
// have yet default to doing nothing.
class SessionHandlers {
 public:
  virtual ~SessionHandlers() = default;

  // Run in every state.
  virtual void HandleLdrSentence(const std::string& /*line*/) {}
  virtual void HandleOvReply(const std::string& /*line*/) {}
  virtual void HandleSTATReply(const std::string& /*line*/) {}
  virtual void HandleWiSentence(const std::string& /*line*/) {}

  virtual void ShowLine(const std::string& /*line*/) {}
  virtual void HandleVerReply(const std::string& /*line*/) {}

  // Configuration read-back.
  virtual void HandleCFReply(const std::string& /*line*/) {}
  virtual void HandleDRReply(const std::string& /*line*/) {}
  virtual void HandleIDReply(const std::string& /*line*/) {}
  virtual void HandleSPReply(const std::string& /*line*/) {}
  virtual void HandleOPReply(const std::string& /*line*/) {}
  virtual void HandleINReply(const std::string& /*line*/) {}
  // True when the reply ended the filter list (and so the read-back).
  virtual bool HandleFLReply(const std::string& /*line*/) { return false; }
  virtual void HandleCaptureLine(int /*source*/, const std::string& /*address*/) {}

  // The speed search saw a line: select `autoBaudIndex` (when >= 0) and stop ABTimer.
  virtual void EndAutoBaud(int /*autoBaudIndex*/) {}
  // The bootloader answered while a firmware update was waiting for it.
  virtual void ProgramFirmware(const std::string& /*ldrLine*/) {}
  // The bootloader never answered: put the window back as it was.
  virtual void RestoreAfterLoaderTimeout() {}

  virtual void RefreshControls(bool /*enable*/) {}
  virtual void UpdateControls() {}

  // Hands a command to the port (which completes and transmits it).
  virtual void Transmit(std::string_view /*text*/) {}
  virtual bool LogActive() const { return false; }
  virtual void LogSent(std::string_view /*text*/) {}
};

// The display rule of the traffic view.
bool PassesViewFilter(std::string_view line, int viewFilter, int source);

class SessionCore : public QObject {
  Q_OBJECT
 public:
  explicit SessionCore(SessionHandlers& handlers, QObject* parent = nullptr);

  std::uint8_t SessionState() const { return m_sessionState; }
  void SetSessionState(std::uint8_t state);
  bool Updating() const { return m_updating; }
  void SetUpdating(bool updating) { m_updating = updating; }

  QString TimeoutMsg;
  int ViewFilter = 0;
  int AutoBaudIndex = -1;
  int HostKind = 0;

  // Sets TimeoutMsg and (re)starts TimeOutTimer.
  void StartTimeout(const QString& message);
  void StopTimeout() { m_timeOutTimer.stop(); }
  bool TimeoutRunning() const { return m_timeOutTimer.isActive(); }
  QTimer& TimeOutTimer() { return m_timeOutTimer; }

  // Pops and dispatches every queued line of `comm` under its RxLock. Safe
  // to re-enter from a nested event loop of a handler on the same thread.
  void DrainRxQueue(TComm* comm);
  void Dispatch(std::string line);
  void SendSentence(std::string_view text);

 signals:
  void sessionStateChanged(int state);

 private:
  void OnTimeOut();
  void DispatchByState(int id, int source, const std::string& address, const std::string& line);

  SessionHandlers& m_handlers;
  std::uint8_t m_sessionState = Idle;
  bool m_updating = false;
  QTimer m_timeOutTimer;
};

}  // namespace hlx
