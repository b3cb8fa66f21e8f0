#include "cli/ConsolePrompts.h"

#include <cstdio>

namespace hlx::cli {

void PrintError(const QString& text) {
  std::fprintf(stderr, "hlx-cli: %s\n", qPrintable(PromptText(text)));
  std::fflush(stderr);
}

void ConsolePrompts::Inform(const QString& text, const QString&, PromptIcon) { PrintError(text); }

bool ConsolePrompts::AskYesNo(const QString& text, const QString&, PromptIcon) {
  PrintError(text);
  PrintError(m_yes ? QStringLiteral("Answered yes (--yes).")
                   : QStringLiteral("Answered no (--yes answers yes)."));
  return m_yes;
}

}  // namespace hlx::cli
