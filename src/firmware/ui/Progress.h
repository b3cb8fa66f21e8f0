#pragma once
// TProgress: the one progress window of the program, shared by the firmware
// update and the network module's dialogs. It stays in front of its owner for
// the whole operation: whenever it loses activation it takes it back.

#include <QDialog>

#include <memory>

#include "firmware/FwUpdate.h"

class QProgressBar;

namespace Ui {
class Progress;
}

namespace hlx {

class TProgress : public QDialog, public ProgressView {
  Q_OBJECT
 public:
  explicit TProgress(QWidget* owner);
  ~TProgress() override;

  QProgressBar* Bar() const;

  // ProgressView
  void Begin(const QString& caption) override;
  void SetMaximum(int maximum) override;
  void SetPosition(int position) override;
  void End() override;

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void reject() override {}  // Escape does not hide it: the operation decides

 private:
  std::unique_ptr<Ui::Progress> ui;
};

}  // namespace hlx
