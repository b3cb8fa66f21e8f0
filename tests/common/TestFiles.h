#pragma once
// What the GUI harnesses share: the program's settings in a folder of the
// test process's own, and whole files (configuration files and logs).

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "session/SettingsAndRestart.h"

namespace hlx::test {

// Settings in a folder of the test process's own, set before the first use.
inline QSettings Settings() {
  static QTemporaryDir folder;
  [[maybe_unused]] static const bool inFolder = qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
  return QSettings(kSettingsOrganization, kSettingsApplication);
}

inline QByteArray ReadAll(const QString& name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline void WriteText(const QString& name, const QByteArray& text) {
  QFile f(name);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text);
}

}  // namespace hlx::test
