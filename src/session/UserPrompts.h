#pragma once
// Every message box and file dialog of the program goes through a
// UserPrompts object that the window is given when it is made. The program
// gives it the Qt implementation (ui/QtUserPrompts.h); tests give a scripted
// one that records every text and returns prepared answers, so nothing ever
// blocks on a modal box.

#include <QString>
#include <QStringList>

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

// The main window's file dialogs. One open dialog serves configurations,
// firmware and wireless images, each preselecting its own filter; one save
// dialog serves configurations and logs.
QStringList OpenDialogFilters();
inline constexpr const char* kAnyFileFilter = "Any file (*.*)";
inline constexpr const char* kLogFileFilter = "Log file (*.txt)";
QStringList SaveDialogFilters();
inline constexpr int kOpenFilterFirmware = 1;   // "Halyx Firmware Image (*.hlx)"
inline constexpr int kOpenFilterWifiImage = 2;  // "WiFi Firmware Image (*.img)"
inline constexpr int kSaveFilterLog = 1;        // "Log file (*.txt)"

// '\r' in the program's texts stands for a line break.
QString PromptText(const QString& text);

}  // namespace hlx
