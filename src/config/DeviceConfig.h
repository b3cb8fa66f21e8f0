#pragma once
// The multiplexer's settings as this program holds them, how each reply of
// the read-back changes them, and every command that writes them back.
// Pure code: no widget, no port. Configuration files and the file apply step
// reuse these builders.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/Nmeadefs.h"

namespace hlx {

inline constexpr int kInputCount = 4;    // In1..In4
inline constexpr int kChannelCount = 5;  // In1..In4 and the converted sentences
inline constexpr int kSpeedCount = 5;    // In1, In2, In3, In4/Out1, Out2
inline constexpr int kSpeedIn4Out1 = 3;  // the shared speed slot
inline constexpr int kSpeedOut2 = 4;
inline constexpr int kTalkerIdLength = 2;

// Item counts of the selectors (the indexes travel as single digits).
inline constexpr int kSpeedItems = 5;         // 4800 .. 57600
inline constexpr int kSpeedItemsOut2 = 6;     // .. 115200
inline constexpr int kInputModeItems = 6;     // In1..In3
inline constexpr int kInputModeItemsIn4 = 7;  // In4 also reads SeaTalk
inline constexpr int kHostDataItems = 3;      // No, Yes, Override
inline constexpr int kHostSpeedItems = 7;     // 4800 .. 115200, "Automatic"
inline constexpr int kPrioTimeoutItems = 6;
inline constexpr std::uint8_t kModePlainText = 5;
inline constexpr std::uint8_t kModeSeaTalk = 6;

// Option word bits.
enum OptionBit : int {
  OptPriority = 0,
  OptPrioSeatalkHighest = 1,
  OptPrioGpsStatus = 2,
  OptCogToHdt = 5,
  OptHdgConv = 6,
  OptVtgConv = 7,
  OptVwrToMwv = 8,
  OptFilterBlock = 9,
  OptHdtReverse = 10,
  OptChanStn = 11,
  OptChanTag = 12,
  OptNmeaV15 = 13,
  OptRelToTheorWind = 14,
  OptRmcConv = 15,
  OptVhwConv = 16,
  OptTime = 18,
};

struct DeviceConfig {
  std::array<std::uint8_t, kSpeedCount> Speed{};
  std::uint8_t PriorityTimeout = 0;
  std::array<bool, kChannelCount> RealTime{};
  std::array<std::string, kChannelCount> TalkerId{};
  std::array<bool, kChannelCount> RouteOut1{};
  std::array<bool, kChannelCount> RouteOut2{};
  std::array<std::uint8_t, kInputCount> InputMode{};
  std::uint8_t HostDataOut1 = 0;
  std::uint8_t HostDataOut2 = 0;
  std::uint32_t Options = 0;

  bool operator==(const DeviceConfig&) const = default;
};

// Reply handlers: each needs field 1 == "R" and changes only its own fields.
// A reply that lacks a field, or a flag field shorter than five characters,
// leaves the affected values unchanged. They return whether the line was a
// reply of theirs (field 1 "R").
bool ApplyCFReply(DeviceConfig& config, std::string_view line);
bool ApplyDRReply(DeviceConfig& config, std::string_view line);
bool ApplyIDReply(DeviceConfig& config, std::string_view line);
bool ApplySPReply(DeviceConfig& config, std::string_view line);
bool ApplyOPReply(DeviceConfig& config, std::string_view line);
bool ApplyINReply(DeviceConfig& config, std::string_view line);

// Commands (without "$" and checksum), built from the model. A list index
// outside its list goes out as an empty field, which the device reads as
// "keep your setting": no other character ever takes a digit's place.
std::string SpeedCommand(const DeviceConfig& config);         // PQVXSP,C,a,b,c,d,e
std::string RealTimeCommand(const DeviceConfig& config);      // PQVXCF,C,,fffff
std::string PrioTimeoutCommand(const DeviceConfig& config);   // PQVXCF,C,,,d
std::string RealTimePrioCommand(const DeviceConfig& config);  // PQVXCF,C,,fffff,d
std::string TalkerIdCommand(const DeviceConfig& config);      // PQVXID,C,..5 ids
std::string RouteCommand(const DeviceConfig& config);         // PQVXDR,C,f,d,f,d
std::string InputModeCommand(const DeviceConfig& config);     // PQVXIN,C,a,b,c,d
std::string OptionBitCommand(int bit, bool value);            // PQVXOP,C,n,1
std::string OptionWordCommand(std::uint32_t options);         // PQVXOP,C,XXXXXXXX
// Host port speed (the CF sentence's first field): PQVXCF,C,n.
std::string HostSpeedCommand(int index);
// What gives the device its own TAG setting back after a view filter or a
// capture: the whole word when it was read (`known`), else only the TAG bit
// switched off (a word that was never read would wipe every option).
std::string OptionRestoreCommand(const DeviceConfig& config, bool known);
inline const std::string kFactoryResetCommand = CommandText(kAddrRESET, {"1"});

// Editing rules on the model (what a handler stores).
// Priority box: sets bit 0; switching off also clears bits 1 and 2.
// Returns the command to send.
std::string SetPriority(DeviceConfig& config, bool enabled);
// Talker IDs from the five edits: cut to two characters, empty positions
// dropped (an edit shows "-" for them, which is never sent).
std::string NormaliseTalkerId(std::string_view text);

// The dependent-control rule that changes the model: with In4 reading
// SeaTalk its shared speed is 4800. Returns true when In4 is in SeaTalk mode.
bool ApplySeaTalkSpeedRule(DeviceConfig& config);

}  // namespace hlx
