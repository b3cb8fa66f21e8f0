#pragma once
// The settings every main window keeps under the program's key, and the
// restart into another window generation. One key and one set of value names
// for all generations: a hand-over passes its values through them.

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <functional>
#include <optional>

namespace hlx {

inline constexpr const char* kSettingsOrganization = "Quorvane";
inline constexpr const char* kSettingsApplication = "HLXConfig";
inline constexpr int kReconnectDelayMs = 250;  // after a restart, before the new window reconnects

// Value names.
inline constexpr const char* kFormIdValue = "FormID";
inline constexpr const char* kReConnectValue = "ReConnect";
inline constexpr const char* kBaudRateValue = "BaudRate";
inline constexpr const char* kPortValue = "Port";
inline constexpr const char* kIpValue = "IP";
inline constexpr const char* kCurrentTabValue = "CurrentTab";
// The older generations' windows store `Port` as their serial list index + 2,
// and `BaudRate` as the index of their host speed list: 4800 .. 38400, then
// "Automatic".
inline constexpr int kLegacyPortOffset = 2;
inline constexpr int kLegacyBaudAutomatic = 4;  // "Automatic" in the older host speed list, never sent

QSettings OpenSettings();
// A stored whole number; nullopt when missing or unreadable.
std::optional<int> ReadStoredInt(const QSettings& settings, const char* name);

// The values FormCreate restores. Reading stops at the first missing (or
// unreadable) value; later ones stay unset and ReConnect then counts as false.
struct StartSettings {
  std::optional<int> baudRate;
  std::optional<int> port;
  std::optional<QString> ip;
  std::optional<int> currentTab;
  bool reConnect = false;
};
// Reads the values above, then writes ReConnect := false.
StartSettings LoadStartSettings();

struct SavedSettings {
  int baudRate = -1;
  int port = -1;
  QString ip;
  int currentTab = 0;
};
// clear false: writes BaudRate, Port, IP, CurrentTab. clear true: deletes every value.
void SaveSettings(bool clear, const SavedSettings& settings = {});

// The current window's shape, kept beside the values above (and deleted with
// them): size and position, the monitor's splitter, the monitor's tab.
inline constexpr const char* kWindowGeometryValue = "WindowGeometry";
inline constexpr const char* kMonitorSplitterValue = "MonitorSplitter";
inline constexpr const char* kMonitorTabValue = "MonitorTab";
struct WindowShape {
  QByteArray geometry;  // QWidget::saveGeometry
  QByteArray splitter;  // QSplitter::saveState
  std::optional<int> monitorTab;
};
WindowShape LoadWindowShape();
void SaveWindowShape(const WindowShape& shape);

// Starts a new instance of this program and leaves the event loop without
// running the window's close handler. The action is replaceable so that a
// test can observe the request without spawning anything.
void RestartProgram();
using RestartAction = std::function<void()>;
void SetRestartAction(RestartAction action);  // empty restores the real one

}  // namespace hlx
