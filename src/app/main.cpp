// Program start: picks the main window generation from the stored FormID.

#include <QApplication>
#include <QIcon>
#include <QNetworkProxy>

#include <memory>

#include "legacy/window/LegMainForm.h"
#include "session/VersionCheck.h"
#include "ui/QtUserPrompts.h"
#include "window/MainForm.h"

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

  const int formId = hlx::WindowForFormId(hlx::ReadFormId());
  hlx::QtUserPrompts prompts;
  std::unique_ptr<QMainWindow> window;
  switch (formId) {
    case hlx::FormLegacy1: window = std::make_unique<hlx::legacy::TLegMainForm1>(prompts); break;
    case hlx::FormLegacy2: window = std::make_unique<hlx::legacy::TLegMainForm2>(prompts); break;
    case hlx::FormLegacy3: window = std::make_unique<hlx::legacy::TLegMainForm3>(prompts); break;
    case hlx::FormLegacy4: window = std::make_unique<hlx::legacy::TLegMainForm4>(prompts); break;
    default: window = std::make_unique<hlx::TMainForm>(prompts); break;
  }
  window->show();
  return app.exec();
}
