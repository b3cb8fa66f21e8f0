#pragma once
// The older generations' sentences: the commands each control sends, built
// from control values, and the replies split into the values they set.
// Every builder puts only digits, "0"/"1" and checked text on the wire, so a
// value from a file or a reply can never smuggle in a delimiter.

#include <QString>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "legacy/LegacyGeneration.h"
#include "session/SettingsAndRestart.h"

namespace hlx::legacy {

inline constexpr int kSpeedItems = 4;  // 4800, 9600, 19200, 38400
inline constexpr int kModeItems = 3;
inline constexpr int kModeItemsWithAis = 4;  // "AIS" after the three others, where the device offers it
inline constexpr int kTalkerIdLength = 2;
inline constexpr int kAisPauseMs = 100;  // between the AIS option and the In 1 speed
inline constexpr int kAisOnSpeed = 3;    // AIS receivers talk at 38400
inline constexpr int kAisOffSpeed = 0;

inline constexpr std::string_view kIdQuery = "PQVXIDQ";
inline constexpr std::string_view kSpQuery = "PQVXSPQ";

// The queries of "Read Configuration", in order.
std::vector<std::string> ReadConfigurationQueries(const Generation& gen);

// "PQVXCF" with `value` in `field`, every field before it empty.
std::string CfFieldCommand(int field, std::string_view value);
std::string HostSpeedCommand(int index);  // empty for an index that is not a speed
std::string ModeCommand(int index);       // empty for an index outside the list
std::string OptionCommand(const Generation& gen, Option option, bool on);  // empty if the generation lacks it
std::string RealTimeCommand(const Generation& gen, const std::array<bool, kInputs>& on);
// A list without a selection (or with one that is no speed) sends an empty
// field, which leaves that port's speed unchanged on the device.
std::string SpeedCommand(const std::array<int, kPortSpeeds>& indexes);
// The In 1 speed alone, as the AIS option sends it.
std::string InputOneSpeedCommand(int index);
std::string TalkerIdCommand(const std::array<QString, kInputs>& ids);

// A capture makes the device name the input of every sentence and restores
// the naming afterwards; `numbersOn`/`idsOn` are the boxes before the start.
struct CaptureNaming {
  bool numbersOn = false;
  bool idsOn = false;
};
std::vector<std::string> CaptureStartCommands(const Generation& gen, const CaptureNaming& before);
std::vector<std::string> CaptureStopCommands(const Generation& gen, const CaptureNaming& before);

// A talker ID as it may travel: at most two characters, letters and digits only.
QString CleanTalkerId(const QString& text);

// What a reply sets; an absent value leaves its control unchanged. The VER
// reply and its capability word are read as in the current generation
// (ParseVerReply, ParseCapabilities).
struct CfReply {
  std::optional<int> hostSpeed;  // 0..3
  std::optional<int> mode;       // 0..2, 3 ("AIS") where the generation may offer it
  std::array<std::optional<bool>, kOptionCount> options{};
  std::array<std::optional<bool>, kInputs> realTime{};
  bool operator==(const CfReply&) const = default;
};
struct SpReply {
  std::array<std::optional<int>, kPortSpeeds> speeds{};
  bool operator==(const SpReply&) const = default;
};
struct IdReply {
  std::array<std::optional<QString>, kInputs> ids{};
  bool operator==(const IdReply&) const = default;
};
// Filter list line: an entry, or the end of the list (empty field 1).
struct FlReply {
  bool end = false;
  QString sentence, flags, divisor;
};

enum class ReplyKind { Other, Ver, Cf, Sp, Id, Ov, Fl, Cn };
ReplyKind KindOf(std::string_view line);

CfReply ParseCf(const Generation& gen, std::string_view line);
SpReply ParseSp(std::string_view line);
IdReply ParseId(std::string_view line);
// Overflow flags, bit 0 = In 1 .. bit 3 = In 4; nullopt when field 1 is no digit.
std::optional<int> ParseOv(std::string_view line);
FlReply ParseFl(std::string_view line);
// Input named by a CN line (1..4), or nullopt. The digit must come right after
// the comma that follows the identifier.
std::optional<int> ParseCn(std::string_view line);

}  // namespace hlx::legacy
