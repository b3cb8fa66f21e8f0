#pragma once
// Configuration files: the mapping between an INI profile and the device
// configuration plus filter list, saving without ever damaging the previous
// file, and the sequence that sends a loaded configuration to the device.
// Pure code: the window only asks for names and shows messages.

#include <QString>
#include <QStringList>
#include <vector>

#include "config/DeviceConfig.h"
#include "config/FilterList.h"

namespace hlx {

class Profile;
class SessionHost;

inline constexpr int kApplyPauseMs = 50;

// Configuration files take the extension "ini" when the user gives none.
QString ConfigDefaultSuffix();
// Fourth status bar panel: "Config file: <name>", "Config file:" before any.
QString ConfigFileStatus(const QString& fileName);

// What the section "Information" records (written only).
struct ConfigFileHeader {
  QString ProgramVersion;  // the program's own version text, e.g. "1.0.0"
  QString DeviceName;
  QString DeviceVersion;
  QString DeviceSerial;
};

// Reads the section "Configuration" into `config` and replaces `filters` by
// the rules of the section "Filter". A missing or empty key takes its
// default (a missing "Options" keeps the current word), and so does a value
// the device could not take: an index outside its list, text that is no
// decimal number, a talker ID with other characters than letters and
// digits, an option word that is no 32-bit hexadecimal number. Each refused
// value and each dropped filter rule adds one readable line to
// `diagnostics`.
void ReadConfigProfile(const Profile& profile, DeviceConfig& config, FilterList& filters,
                       QStringList* diagnostics = nullptr);
// Writes all three sections; the section "Filter" is erased first, every
// other section and key of the profile is kept.
void WriteConfigProfile(Profile& profile, const ConfigFileHeader& header, const DeviceConfig& config,
                        const FilterList& filters);

// LoadConfigFile's reading part: an unreadable file behaves like an empty
// one. Returns false when the file could not be read.
bool LoadConfigFile(const QString& fileName, DeviceConfig& config, FilterList& filters,
                    QStringList* diagnostics = nullptr);

// Saves into `fileName` (keeping what the file holds besides our keys).
// Returns an empty text on success, else "Unable to write to <name>"; the
// previous file is then left exactly as it was. An empty name does nothing.
QString SaveConfigFile(const QString& fileName, const ConfigFileHeader& header, const DeviceConfig& config,
                       const FilterList& filters);

// ApplyConfiguration: every sentence with the pause after it, in order
// CF, SP, IN, ID, DR, OP, then the filter list's store sequence.
std::vector<PacedSentence> ApplyConfigurationSequence(const DeviceConfig& config, const FilterList& filters);
// Sends that sequence through `host`, pausing after each sentence.
void ApplyConfiguration(SessionHost& host, const DeviceConfig& config, const FilterList& filters);

}  // namespace hlx
