#include "ui/MainWindowCommon.h"

#include <QCursor>
#include <QGuiApplication>

namespace hlx {

QFont TypewriterFont() {
  QFont font(QStringLiteral("Courier"));
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

void ShowWaitCursor(bool on) {
  if (on)
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace hlx
