#include "session/UserPrompts.h"

namespace hlx {

QString PromptText(const QString& text) {
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t;
}

QStringList OpenDialogFilters() {
  return {QStringLiteral("Halyx Configuration (*.ini)"), QStringLiteral("Halyx Firmware Image (*.hlx)"),
          QStringLiteral("WiFi Firmware Image (*.img)"), QString::fromLatin1(kAnyFileFilter)};
}

QStringList SaveDialogFilters() {
  return {QStringLiteral("Halyx Configruation file (*.ini)"), QString::fromLatin1(kLogFileFilter),
          QString::fromLatin1(kAnyFileFilter)};
}

}  // namespace hlx
