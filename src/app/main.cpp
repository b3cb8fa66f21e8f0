// Program start: picks the main window generation from the stored FormID.

#include <QApplication>
#include <QIcon>
#include <QNetworkProxy>

#include "session/VersionCheck.h"
#include "session/window/MainForm.h"
#include "ui/QtUserPrompts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(hlx::kApplicationTitle));
  // Ties the windows to the installed desktop entry (its icon and name in the task bar).
  QGuiApplication::setDesktopFileName(QStringLiteral("com.quorvane.HLXConfig"));
  Q_INIT_RESOURCE(About);
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.quorvane.HLXConfig"),
                                               QIcon(QStringLiteral(":/about/ProgramIcon.png"))));
  // The multiplexer sits on the local network: never route to it through a proxy.
  QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

  // Until the older generations' windows exist, every generation opens the
  // current window (which identifies the device and says what it found).
  const int formId = hlx::WindowForFormId(hlx::ReadFormId());
  Q_UNUSED(formId);
  hlx::QtUserPrompts prompts;
  hlx::TMainForm window(prompts);
  window.show();
  return app.exec();
}
