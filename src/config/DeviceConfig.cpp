#include "config/DeviceConfig.h"

#include "link/Nmeadefs.h"

namespace hlx {

namespace {

constexpr char kDigitBase = '0';

// Field 1 must be exactly "R" for a line to count as a reply.
bool IsReply(std::string_view line) {
  std::string f;
  return ExtractField(line, 1, f) == 1 && f == "R";
}

// A present, non-empty field; absent or empty fields leave the model alone.
bool NonEmptyField(std::string_view line, int index, std::string& field) {
  return ExtractField(line, index, field) > 0;
}

// List index as it travels: the first character minus '0'. Kept as the raw
// byte difference; a control then shows no selection for an unknown value.
void ReadDigit(std::string_view line, int index, std::uint8_t& target) {
  std::string f;
  if (NonEmptyField(line, index, f)) target = static_cast<std::uint8_t>(f.front() - kDigitBase);
}

// Five channel flags: "0" off, anything else on. A short field is ignored
// as a whole rather than half-applied.
template <std::size_t N>
void ReadFlags(std::string_view line, int index, std::array<bool, N>& target) {
  std::string f;
  if (ExtractField(line, index, f) < static_cast<int>(N)) return;
  for (std::size_t i = 0; i < N; ++i) target[i] = f[i] != '0';
}

// Every list travels as one digit.
static_assert(kSpeedItemsOut2 <= 10 && kInputModeItemsIn4 <= 10 && kHostDataItems <= 10 &&
              kPrioTimeoutItems <= 10);

// A model value outside its list (an unknown reply, a damaged file) must not
// become a delimiter or control character in the sentence; the empty field
// leaves the device's own setting alone instead.
std::string IndexField(std::uint8_t index, int items) {
  return index < items ? std::string(1, static_cast<char>(kDigitBase + index)) : std::string();
}

constexpr std::array<int, kSpeedCount> kSpeedListItems{kSpeedItems, kSpeedItems, kSpeedItems, kSpeedItems,
                                                       kSpeedItemsOut2};
constexpr std::array<int, kInputCount> kModeListItems{kInputModeItems, kInputModeItems, kInputModeItems,
                                                      kInputModeItemsIn4};

template <std::size_t N>
std::string Flags(const std::array<bool, N>& flags) {
  std::string s;
  for (bool b : flags) s += b ? '1' : '0';
  return s;
}

}  // namespace

bool ApplyCFReply(DeviceConfig& config, std::string_view line) {
  if (!IsReply(line)) return false;
  // Field 2 is the host port speed, which belongs to the connection panel.
  ReadFlags(line, 3, config.RealTime);
  ReadDigit(line, 4, config.PriorityTimeout);
  return true;
}

bool ApplyDRReply(DeviceConfig& config, std::string_view line) {
  if (!IsReply(line)) return false;
  ReadFlags(line, 2, config.RouteOut1);
  ReadDigit(line, 3, config.HostDataOut1);
  ReadFlags(line, 4, config.RouteOut2);
  ReadDigit(line, 5, config.HostDataOut2);
  return true;
}

bool ApplyIDReply(DeviceConfig& config, std::string_view line) {
  if (!IsReply(line)) return false;
  for (int i = 0; i < kChannelCount; ++i) {
    std::string f;
    // An empty field is an empty talker ID; only a missing one is skipped.
    if (ExtractField(line, 2 + i, f) < 0) continue;
    config.TalkerId[static_cast<std::size_t>(i)] = f.substr(0, kTalkerIdLength);
  }
  return true;
}

bool ApplySPReply(DeviceConfig& config, std::string_view line) {
  if (!IsReply(line)) return false;
  for (int i = 0; i < kSpeedCount; ++i) ReadDigit(line, 2 + i, config.Speed[static_cast<std::size_t>(i)]);
  return true;
}

bool ApplyINReply(DeviceConfig& config, std::string_view line) {
  if (!IsReply(line)) return false;
  for (int i = 0; i < kInputCount; ++i) ReadDigit(line, 2 + i, config.InputMode[static_cast<std::size_t>(i)]);
  return true;
}

bool ApplyOPReply(DeviceConfig& config, std::string_view line) {
  if (!IsReply(line)) return false;
  std::string f;
  if (!NonEmptyField(line, 2, f) || f.size() > 8) return true;
  std::uint32_t value = 0;
  for (char c : f) {
    int nibble;
    if (c >= '0' && c <= '9')
      nibble = c - '0';
    else if (c >= 'A' && c <= 'F')
      nibble = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      nibble = c - 'a' + 10;
    else
      return true;  // not a number: keep the old word
    value = (value << 4) | static_cast<std::uint32_t>(nibble);
  }
  config.Options = value;
  return true;
}

std::string SpeedCommand(const DeviceConfig& config) {
  std::string s = CommandText(kAddrSP, {"C"});
  for (std::size_t i = 0; i < config.Speed.size(); ++i)
    (s += ',') += IndexField(config.Speed[i], kSpeedListItems[i]);
  return s;
}

std::string RealTimeCommand(const DeviceConfig& config) {
  return CommandText(kAddrCF, {"C", "", Flags(config.RealTime)});
}

std::string PrioTimeoutCommand(const DeviceConfig& config) {
  return CommandText(kAddrCF, {"C", "", "", IndexField(config.PriorityTimeout, kPrioTimeoutItems)});
}

std::string RealTimePrioCommand(const DeviceConfig& config) {
  return RealTimeCommand(config) + ',' + IndexField(config.PriorityTimeout, kPrioTimeoutItems);
}

std::string TalkerIdCommand(const DeviceConfig& config) {
  std::string s = CommandText(kAddrID, {"C"});
  for (const auto& id : config.TalkerId) (s += ',') += NormaliseTalkerId(id);
  return s;
}

std::string RouteCommand(const DeviceConfig& config) {
  return CommandText(kAddrDR, {"C", Flags(config.RouteOut1), IndexField(config.HostDataOut1, kHostDataItems),
                               Flags(config.RouteOut2), IndexField(config.HostDataOut2, kHostDataItems)});
}

std::string InputModeCommand(const DeviceConfig& config) {
  std::string s = CommandText(kAddrIN, {"C"});
  for (std::size_t i = 0; i < config.InputMode.size(); ++i)
    (s += ',') += IndexField(config.InputMode[i], kModeListItems[i]);
  return s;
}

std::string OptionBitCommand(int bit, bool value) {
  return CommandText(kAddrOP, {"C", std::to_string(bit), value ? "1" : "0"});
}

std::string OptionWordCommand(std::uint32_t options) { return CommandText(kAddrOP, {"C", HexWord(options)}); }

std::string SetPriority(DeviceConfig& config, bool enabled) {
  SetBit(config.Options, OptPriority, enabled);
  if (enabled) return OptionBitCommand(OptPriority, true);
  // Switching off also drops the sub-settings, so the whole word goes out.
  SetBit(config.Options, OptPrioSeatalkHighest, false);
  SetBit(config.Options, OptPrioGpsStatus, false);
  return OptionWordCommand(config.Options);
}

std::string NormaliseTalkerId(std::string_view text) {
  std::string s;
  for (char c : text) {
    if (s.size() == static_cast<std::size_t>(kTalkerIdLength)) break;
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    // The edit's blank character and anything that would split or end the
    // sentence never reach the device.
    if (!alnum) continue;
    s += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return s;
}

bool ApplySeaTalkSpeedRule(DeviceConfig& config) {
  if (config.InputMode[kInputCount - 1] != kModeSeaTalk) return false;
  config.Speed[kSpeedIn4Out1] = 0;
  return true;
}

std::string HostSpeedCommand(int index) {
  const std::string speed =
      index < 0 ? std::string() : IndexField(static_cast<std::uint8_t>(index), kHostSpeedItems);
  return CommandText(kAddrCF, {"C", speed});
}

std::string OptionRestoreCommand(const DeviceConfig& config, bool known) {
  return known ? OptionWordCommand(config.Options) : OptionBitCommand(OptChanTag, false);
}

}  // namespace hlx
