#include "session/SettingsAndRestart.h"

#include <QCoreApplication>
#include <QProcess>

namespace hlx {

namespace {

RestartAction& InstalledRestart() {
  static RestartAction action;
  return action;
}

}  // namespace

QSettings OpenSettings() { return QSettings(kSettingsOrganization, kSettingsApplication); }

std::optional<int> ReadStoredInt(const QSettings& settings, const char* name) {
  if (!settings.contains(name)) return std::nullopt;
  bool ok = false;
  const int v = settings.value(name).toInt(&ok);
  if (!ok) return std::nullopt;
  return v;
}

StartSettings LoadStartSettings() {
  StartSettings out;
  QSettings s = OpenSettings();
  [&] {
    if (!(out.baudRate = ReadStoredInt(s, kBaudRateValue))) return;
    if (!(out.port = ReadStoredInt(s, kPortValue))) return;
    if (!s.contains(kIpValue)) return;
    out.ip = s.value(kIpValue).toString();
    if (!(out.currentTab = ReadStoredInt(s, kCurrentTabValue))) return;
    if (!s.contains(kReConnectValue)) return;
    // Stored as 0/1; a "true"/"false" written by another window counts too.
    out.reConnect = s.value(kReConnectValue).toBool();
  }();
  s.setValue(kReConnectValue, 0);
  s.sync();
  return out;
}

void SaveSettings(bool clear, const SavedSettings& settings) {
  QSettings s = OpenSettings();
  if (clear) {
    s.clear();
  } else {
    s.setValue(kBaudRateValue, settings.baudRate);
    s.setValue(kPortValue, settings.port);
    s.setValue(kIpValue, settings.ip);
    s.setValue(kCurrentTabValue, settings.currentTab);
  }
  s.sync();
}

WindowShape LoadWindowShape() {
  const QSettings s = OpenSettings();
  return {s.value(kWindowGeometryValue).toByteArray(), s.value(kMonitorSplitterValue).toByteArray(),
          ReadStoredInt(s, kMonitorTabValue)};
}

void SaveWindowShape(const WindowShape& shape) {
  QSettings s = OpenSettings();
  s.setValue(kWindowGeometryValue, shape.geometry);
  s.setValue(kMonitorSplitterValue, shape.splitter);
  if (shape.monitorTab) s.setValue(kMonitorTabValue, *shape.monitorTab);
  s.sync();
}

void SetRestartAction(RestartAction action) { InstalledRestart() = std::move(action); }

void RestartProgram() {
  if (InstalledRestart()) {
    InstalledRestart()();
    return;
  }
  QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
  // exit() rather than closing the window: the close handler must not run.
  QCoreApplication::exit(0);
}

}  // namespace hlx
