#pragma once
// Program start-up rules: which main window a stored FormID opens, how a
// device's firmware version maps to a window generation and the hand-over
// into another generation (settings and restart: SettingsAndRestart.h).

#include <QString>

#include <cstdint>
#include <string_view>

namespace hlx {

inline constexpr const char* kApplicationTitle = "HLX-Config";

enum FormIdValue : int { FormMain = 0, FormLegacy1 = 1, FormLegacy2 = 2, FormLegacy3 = 3, FormLegacy4 = 4 };

struct VersionNumbers {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned release = 0;
  bool operator==(const VersionNumbers&) const = default;
};

VersionNumbers ParseVersion(std::string_view text);
// major x 65,536 + minor x 256 + release, as firmware containers give their version.
inline std::uint32_t VersionWord(const VersionNumbers& v) { return v.major << 16 | v.minor << 8 | v.release; }

// Window generation for a firmware version, and whether that firmware is
// recent enough for the window (false: it must be updated first).
struct FormChoice {
  int formId = FormMain;
  bool supported = true;
  bool operator==(const FormChoice&) const = default;
};
FormChoice FormChoiceFor(const VersionNumbers& version);

// Stored FormID; missing or unreadable gives 0.
int ReadFormId();
// FormID values outside 0..4 open the current main window.
int WindowForFormId(int formId);

// Records the generation for `version`; when it differs from the stored one,
// writes FormID and ReConnect and restarts the program. `restarted` (if
// given) tells whether a restart was requested. `answeredSpeed` is the index
// of the calling window's speed list at which the device answered (-1: not a
// serial line): the new window reconnects at that speed, not at a stored
// "Automatic". Returns FormChoice::supported.
bool SelectFormId(const VersionNumbers& version, bool* restarted = nullptr, int answeredSpeed = -1);

// The stored `Port` in the numbering of window `toForm` when window `fromForm`
// wrote it: the current window counts its three network entries first, the
// older generations' windows store their serial list index + 2. Converted at
// a hand-over so the new window reopens the port the old one used; a value
// that names no serial port becomes "no selection".
int PortForForm(int storedPort, int fromForm, int toForm);
// The same for `BaudRate`: both speed lists begin 4800..38400, then the
// current window's 57600 and 115200 (not in the older list) and
// "Automatic", which is the older list's fifth entry.
int BaudRateForForm(int storedIndex, int fromForm, int toForm);

// The program's name as its windows and configuration files show it, followed by ProgramVersion().
inline constexpr const char* kTitleBeforeVersion = "Halyx Configuration Tool V";
QString ProgramVersion();

}  // namespace hlx
