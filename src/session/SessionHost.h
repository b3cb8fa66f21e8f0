#pragma once
// SessionHost: what a feature (configuration pages, firmware update, network
// dialogs, legacy filter list) needs from the main window it works in. Every
// main window implements it, current and legacy; features receive it in
// their constructors and never see the window itself.

#include <cstdint>
#include <string_view>

#include "session/UserPrompts.h"

namespace hlx {

// What the current window is waiting for. The values travel in no sentence
// but are kept as the device generations number them.
enum class SessionState : std::uint8_t {
  Idle = 0,
  AutoBaud = 1,
  Capture = 2,
  Identify = 3,
  ReadConfig = 4,
  FwLoader = 5,
  FwRestart = 6,
};

class SessionHost {
 public:
  virtual ~SessionHost() = default;

  // Completes, logs and sends one command; nothing goes out on a closed channel.
  virtual void SendSentence(std::string_view text) = 0;
  // Short blocking pause between sentences that must follow each other;
  // pending events (a reply) are handled meanwhile, user input is not.
  virtual void Pause(int ms);
  // Set while controls are filled from the device: editing handlers then send nothing.
  virtual bool Updating() const = 0;
  virtual void SetUpdating(bool updating) = 0;
  virtual SessionState State() const = 0;
  virtual void SetState(SessionState state) = 0;
  virtual bool ChannelOpen() const = 0;
  virtual UserPrompts& Prompts() = 0;
  // Busy cursor on (nesting) or off.
  virtual void SetWaitCursor(bool on) = 0;
};

// Sets Updating for a scope and puts the previous value back.
class UpdatingScope {
 public:
  explicit UpdatingScope(SessionHost& host) : m_host(host), m_was(host.Updating()) { host.SetUpdating(true); }
  ~UpdatingScope() { m_host.SetUpdating(m_was); }
  UpdatingScope(const UpdatingScope&) = delete;
  UpdatingScope& operator=(const UpdatingScope&) = delete;

 private:
  SessionHost& m_host;
  bool m_was;
};

// Busy cursor for a blocking step; Restore() ends it early (before a message box).
class WaitCursorScope {
 public:
  explicit WaitCursorScope(SessionHost& host) : m_host(host) { host.SetWaitCursor(true); }
  ~WaitCursorScope() { Restore(); }
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;
  void Restore() {
    if (m_active) m_host.SetWaitCursor(false);
    m_active = false;
  }

 private:
  SessionHost& m_host;
  bool m_active = true;
};

}  // namespace hlx
