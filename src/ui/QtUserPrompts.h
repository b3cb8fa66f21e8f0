#pragma once
// Message boxes and file dialogs of the program, for UserPrompts.

#include "session/UserPrompts.h"

class QWidget;

namespace hlx {

// QMessageBox / QFileDialog implementation. `parent` may be null.
class QtUserPrompts : public UserPrompts {
 public:
  explicit QtUserPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
  void Inform(const QString& text, const QString& caption, PromptIcon icon) override;
  bool AskYesNo(const QString& text, const QString& caption, PromptIcon icon) override;
  QString OpenFile(const QString& caption, const QStringList& filters, int selectedFilter,
                   const QString& directory) override;
  QString SaveFile(const QString& caption, const QStringList& filters, int selectedFilter,
                   const QString& defaultSuffix, const QString& directory) override;

 private:
  QWidget* m_parent;
};

}  // namespace hlx
