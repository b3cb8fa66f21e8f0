#pragma once
// What the network dialogs share: the progress window they drive during
// their fixed waits (an interface, so they need not know the program's own
// progress window), the waits themselves, and the busy cursor.

#include <QElapsedTimer>
#include <QString>

#include "network/XportLib.h"

class QWidget;

namespace hlx {

class NetProgress {
 public:
  virtual ~NetProgress() = default;
  // Shows the window with a caption and an empty bar from minimum to maximum.
  virtual void Start(const QString& caption, int minimum, int maximum) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void Finish() = 0;
};

// Sizes `dialog` for good: no narrower than its layout wants, and every
// button wide enough to show its text whole with the style's margins (some
// styles' hints leave a long text touching the frame).
void FixDialogSize(QWidget& dialog);

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

// Fixed steps counted from their start: each step ends at its place in the
// schedule, so while a message box (opened by another part of the program
// during a wait) holds the event loop, the module's time still runs, and the
// steps after it catch up instead of adding that time to the whole.
class StepSchedule {
 public:
  explicit StepSchedule(int stepMs) : m_stepMs(stepMs) { m_clock.start(); }
  // Waits, keeping the windows alive, until `steps` steps have passed since the start.
  void WaitUntilEndOf(int steps) const {
    WaitKeepingWindowsAlive(static_cast<int>(steps * qint64(m_stepMs) - m_clock.elapsed()));
  }

 private:
  int m_stepMs;
  QElapsedTimer m_clock;
};

// A fixed wait the user watches: `caption` over a bar from 0 to `lastStep`
// that moves one step per `stepMs`. The caller finishes the progress window.
void ShowFixedWait(NetProgress& progress, const QString& caption, int lastStep, int stepMs);

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
