#include "firmware/ui/Progress.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include "ui_Progress.h"

namespace hlx {

TProgress::TProgress(QWidget* owner)
    : QDialog(owner,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      ui(std::make_unique<Ui::Progress>()) {
  ui->setupUi(this);
  setFixedSize(size().expandedTo(minimumSizeHint()));  // never narrower than its texts
  // Nothing else of the program may be used while an operation runs.
  setWindowModality(Qt::ApplicationModal);
}

TProgress::~TProgress() = default;

QProgressBar* TProgress::Bar() const { return ui->Bar; }

void TProgress::Begin(const QString& caption) {
  setWindowTitle(caption);
  ui->Bar->setMinimum(0);
  ui->Bar->setValue(0);
  show();
  raise();
  activateWindow();
}

void TProgress::SetMaximum(int maximum) { ui->Bar->setMaximum(maximum); }

void TProgress::SetPosition(int position) { ui->Bar->setValue(position); }

void TProgress::End() { hide(); }

void TProgress::showEvent(QShowEvent* event) {
  // Centred over the owner each time it appears.
  if (QWidget* owner = parentWidget())
    move(owner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
  QDialog::showEvent(event);
}

void TProgress::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) {
    // Deferred: taking the focus back inside the change itself would fight the window system.
    QTimer::singleShot(0, this, [this] {
      if (isVisible() && !isActiveWindow()) {
        raise();
        activateWindow();
      }
    });
  }
  QDialog::changeEvent(event);
}

}  // namespace hlx
