#pragma once
// TAboutBox: program name, version, the vendor's web and mail addresses, and
// the hidden maintenance gesture (double click on the program icon) that asks
// the main window to clear every stored setting and close.

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;

namespace hlx {

class UserPrompts;

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // Result of exec() after the clear-settings gesture: neither OK nor Cancel.
  static constexpr int kClearSettingsResult = -1;

  static const QString kWebAddress;
  static const QString kMailAddress;
  static const QString kClearSettingsText;

  // Opens a link with the system's handler; returns false when it could not.
  using UrlOpener = std::function<bool(const QUrl&)>;

  explicit TAboutBox(UserPrompts& prompts, QWidget* parent = nullptr);

  // Replaces the system's link handler (tests record the links instead).
  void SetUrlOpener(UrlOpener opener) { m_opener = std::move(opener); }

  static QUrl WebUrl();
  static QUrl MailUrl();

  // Shows the box modally over `owner`; true when the user asked for all
  // settings to be cleared (the caller then sets ClearSettings and closes).
  bool ExecAndCheckClear(QWidget* owner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();

  UserPrompts& m_prompts;
  UrlOpener m_opener;
  QLabel* m_programIcon = nullptr;
  QLabel* m_webLink = nullptr;
  QLabel* m_mailLink = nullptr;
};

}  // namespace hlx
