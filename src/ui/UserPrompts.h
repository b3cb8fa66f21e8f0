#pragma once
// Every message box and file dialog of the program goes through one
// UserPrompts object. The program installs the Qt implementation; tests
// install a scripted one that records every text and returns prepared
// answers, so nothing ever blocks on a modal box.

#include <QString>
#include <QStringList>

class QWidget;

namespace hlx {

enum class PromptIcon { None, Information, Warning, Error, Question };

struct PromptRecord {
  QString kind;  // "inform", "ask", "open", "save"
  QString caption;
  QString text;  // as given, with '\r' already turned into '\n'
  PromptIcon icon = PromptIcon::None;
};

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // Message box with an OK button. An empty caption means the application title.
  virtual void Inform(const QString& text, const QString& caption = {},
                      PromptIcon icon = PromptIcon::Information) = 0;
  // Yes/No question; true for Yes.
  virtual bool AskYesNo(const QString& text, const QString& caption,
                        PromptIcon icon = PromptIcon::Warning) = 0;
  // File dialogs; an empty result means cancelled. `filters` are Qt name filters,
  // `selectedFilter` the index preselected, `defaultSuffix` added to bare names.
  virtual QString OpenFile(const QString& caption, const QStringList& filters, int selectedFilter = 0,
                           const QString& directory = {}) = 0;
  virtual QString SaveFile(const QString& caption, const QStringList& filters, int selectedFilter = 0,
                           const QString& defaultSuffix = {}, const QString& directory = {}) = 0;
};

// '\r' in the program's texts stands for a line break.
QString PromptText(const QString& text);

// The installed instance (a Qt implementation unless replaced).
UserPrompts& Prompts();
// Replaces the installed instance; the caller keeps ownership. nullptr restores Qt's.
void InstallPrompts(UserPrompts* prompts);

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
