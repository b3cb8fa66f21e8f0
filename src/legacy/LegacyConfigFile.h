#pragma once
// Configuration files of the older generations ("*.hlx", INI text): the
// window's settings in section "Configuration" and the filter list in
// section "Filter", one key per entry. Which keys exist depends on the
// generation. Also the two registry values these windows keep.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

#include "legacy/LegacyFilterList.h"
#include "legacy/LegacyGeneration.h"
#include "session/UserPrompts.h"

namespace hlx {
class Profile;
}

namespace hlx::legacy {

inline constexpr int kDefaultSpeedOut2 = 3;  // 38400

// The option keys in the order of the "Configuration" section: files are
// written and loaded in this order, so a loaded file sends the changes in it.
inline constexpr std::array<Option, kOptionCount> kFileOptionOrder = {
    Option::Priority, Option::ChannelNumbers, Option::ChannelIds,
    Option::HdgToHdt, Option::AisOnIn1,       Option::SeaTalk};

// What a file holds besides the filter list; the defaults are what a missing key reads as.
struct FileSettings {
  std::array<bool, kOptionCount> options{};
  int mode = 0;
  std::array<bool, kInputs> realTime{};
  std::array<QString, kInputs> talkerIds;
  std::array<int, kPortSpeeds> speeds{0, 0, 0, 0, kDefaultSpeedOut2};
  bool operator==(const FileSettings&) const = default;
};

// Reads the settings; when the "Filter" section has at least one key, `list`
// is emptied and refilled from it (entries that do not fit are skipped).
// Values that are out of range or not numbers read as the defaults; talker
// IDs keep only what may travel.
FileSettings ReadLegacyConfig(const Profile& profile, const Generation& gen, LegacyFilterList& list);

// Writes the settings and replaces the "Filter" section by the list, so the
// file loads back as exactly this list; other sections and keys stay.
void WriteLegacyConfig(Profile& profile, const Generation& gen, const FileSettings& settings,
                       const LegacyFilterList& list);

// Reads a file (a missing or unreadable one reads as empty).
FileSettings LoadLegacyConfigFile(const QString& fileName, const Generation& gen, LegacyFilterList& list);
// Updates the file through a temporary file and a rename; false with the reason in `error`.
bool SaveLegacyConfigFile(const QString& fileName, const Generation& gen, const FileSettings& settings,
                          const LegacyFilterList& list, QString* error = nullptr);

QStringList LegacyOpenFilters(const Generation& gen);
QStringList LegacySaveFilters();
inline constexpr const char* kLegacySuffix = "hlx";

// Registry values of the legacy windows. `Port` holds the list index + 2.
struct LegacyStartSettings {
  std::optional<int> baudRate;  // -1..4
  std::optional<int> port;      // list index, -1 for none
};
// Reading stops at the first missing value.
LegacyStartSettings LoadLegacySettings();
// Reads ReConnect and writes it back as false.
bool TakeReConnect();
// clear false: writes BaudRate and Port; clear true: deletes every value of the key.
void SaveLegacySettings(bool clear, int baudIndex, int portIndex);

}  // namespace hlx::legacy
