#pragma once
// What the network dialogs share: the progress window they drive during
// their fixed waits (an interface, so they need not know the program's own
// progress window), the waits themselves, and the busy cursor.

#include <QString>

#include "network/XportLib.h"

namespace hlx {

class NetProgress {
 public:
  virtual ~NetProgress() = default;
  // Shows the window with a caption and an empty bar from minimum to maximum.
  virtual void Start(const QString& caption, int minimum, int maximum) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void Finish() = 0;
};

// The fixed waits are steps of this length; tests shorten them.
inline constexpr int kNetStepMs = 500;

// Handles pending window events except user input, so the windows keep
// painting and a progress bar moves while an operation blocks; a click
// cannot start a second operation meanwhile.
void KeepWindowsAlive();
// The TXPort hook that does the same.
WaitHook WindowsAliveHook();
// Waits `ms` while keeping the windows alive.
void WaitKeepingWindowsAlive(int ms);

// Counts a dialog's running operations. Events are handled while one runs,
// among them a request to close; the dialog refuses it meanwhile, since the
// TXPort it would destroy is still in use.
class OperationScope {
 public:
  explicit OperationScope(int& running) : m_running(running) { ++m_running; }
  ~OperationScope() { --m_running; }
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

 private:
  int& m_running;
};

// Busy cursor for a scope; Restore() ends it early (before a message box).
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor() { Restore(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  void Restore();

 private:
  bool m_on = true;
};

}  // namespace hlx
