#include "network/dialogs/NetDialogSupport.h"

#include <algorithm>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QStyle>
#include <QThread>

namespace hlx {

void KeepWindowsAlive() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

WaitHook WindowsAliveHook() { return &KeepWindowsAlive; }

void FixDialogSize(QWidget& dialog) {
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    const int text = button->fontMetrics().horizontalAdvance(button->text());
    button->setMinimumWidth(std::max(button->minimumWidth(), text + 2 * margin + 4));
  }
  dialog.setFixedSize(dialog.size().expandedTo(dialog.sizeHint()));
}

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

void ShowFixedWait(NetProgress& progress, const QString& caption, int lastStep, int stepMs) {
  progress.Start(caption, 0, lastStep);
  const StepSchedule schedule(stepMs);
  for (int step = 0; step <= lastStep; ++step) {
    progress.SetPosition(step);
    KeepWindowsAlive();
    schedule.WaitUntilEndOf(step + 1);
  }
}

}  // namespace hlx
