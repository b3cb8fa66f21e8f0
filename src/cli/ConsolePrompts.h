#pragma once
// The prompts of the command-line program: every message the window would
// show in a box goes to standard error with the same text; questions take
// the answer given on the command line; the file dialog returns the file
// named there.

#include <QString>

#include "session/UserPrompts.h"

namespace hlx::cli {

class ConsolePrompts : public UserPrompts {
 public:
  void SetAnswer(bool yes) { m_yes = yes; }
  void SetFile(const QString& file) { m_file = file; }

  void Inform(const QString& text, const QString& caption = {},
              PromptIcon icon = PromptIcon::Information) override;
  bool AskYesNo(const QString& text, const QString& caption, PromptIcon icon = PromptIcon::Warning) override;
  QString OpenFile(const QString&, const QStringList&, int = 0, const QString& = {}) override {
    return m_file;
  }
  QString SaveFile(const QString&, const QStringList&, int = 0, const QString& = {},
                   const QString& = {}) override {
    return m_file;
  }

 private:
  bool m_yes = false;
  QString m_file;
};

// One line (or several) on standard error, prefixed with the program's name.
void PrintError(const QString& text);

}  // namespace hlx::cli
