#include "network/dialogs/NetDialogSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace hlx {

void KeepWindowsAlive() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

WaitHook WindowsAliveHook() { return &KeepWindowsAlive; }

void WaitKeepingWindowsAlive(int ms) {
  if (ms <= 0) return;  // QDeadlineTimer reads a negative time as "never"
  const QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    KeepWindowsAlive();
    QThread::msleep(
        static_cast<unsigned long>(qBound(qint64(0), deadline.remainingTime(), qint64(kWaitSliceMs))));
  }
}

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void BusyCursor::Restore() {
  if (!m_on) return;
  m_on = false;
  QApplication::restoreOverrideCursor();
}

}  // namespace hlx
