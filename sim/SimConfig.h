#pragma once
// The simulated multiplexer's settings as the device keeps them, and its
// factory defaults. Values are kept exactly as they travel on the wire
// (list indexes, flag bits, talker texts), so every reply is a plain format.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hlx::sim {

inline constexpr int kInputs = 4;      // NMEA inputs In1..In4
inline constexpr int kChannels = 5;    // the inputs plus the converted sentences
inline constexpr int kSourceConv = 5;  // source number of converted sentences
inline constexpr std::size_t kMaxFilterRules = 50;
inline constexpr std::size_t kFilterNameLength = 5;
inline constexpr int kHostSpeedCount = 7;  // 4800 .. 230400
inline constexpr int kOptionTagBlocks = 12;
inline constexpr int kOptionFilterBlocks = 9;

struct FilterRule {
  std::string name;     // five characters, '-' matches any character
  std::string sources;  // six flags: host, In1..In4, converted
  std::string div;      // empty or up to two digits
  std::string outputs;  // four flags: Out1, Out2, host (PC), W
  bool operator==(const FilterRule&) const = default;
};

// Options of the older generations that the current one keeps elsewhere.
struct LegacyOptions {
  int mode = 0;  // 0 server, 1 hub, 2 automatic
  bool seaTalk = false;
  bool priority = false;
  bool channelNumbers = false;
  bool channelIds = false;
  bool hdgToHdt = false;
  bool aisOnIn1 = false;
  bool operator==(const LegacyOptions&) const = default;
};

struct SimConfig {
  int hostSpeed = 5;           // host port speed index 0..6
  std::array<int, 5> speed{};  // In1, In2, In3, In4/Out1, Out2
  int priorityTimeout = 0;
  std::array<bool, kChannels> realTime{};
  std::array<std::string, kChannels> talkerId;
  std::array<bool, kChannels> routeOut1{};
  std::array<bool, kChannels> routeOut2{};
  std::array<int, kInputs> inputMode{};
  int hostDataOut1 = 0;
  int hostDataOut2 = 0;
  std::uint32_t options = 0;
  std::vector<FilterRule> filter;
  LegacyOptions legacy;

  bool operator==(const SimConfig&) const = default;
};

// What a device leaves the factory with; `hostSpeed` is the speed the
// hardware variant starts at (USB models fix it).
SimConfig FactoryConfig(int hostSpeed);

// True when `name` (five characters, '-' wildcard) matches the address.
bool FilterNameMatches(const std::string& name, const std::string& address);

// One bit of the option word.
inline bool OptionBit(std::uint32_t options, int bit) { return (options >> bit) & 1u; }
inline void SetOptionBit(std::uint32_t& options, int bit, bool on) {
  options = on ? options | (1u << bit) : options & ~(1u << bit);
}

}  // namespace hlx::sim
