#pragma once
// What sets the older device generations apart, as data: which options a
// generation has and in which CF field each travels, whether it has the
// NMEA port speeds, the filter list's sentence length and divisor, how a
// capture learns the input of a sentence, the file keys, the title suffix,
// the names and captions its layout gives controls and how the version reply
// tells which model is connected. The legacy core and window read one of
// these instead of branching on the generation number.

#include <array>
#include <string_view>

namespace hlx::legacy {

enum class Option : int { SeaTalk, Priority, ChannelNumbers, ChannelIds, HdgToHdt, AisOnIn1 };
inline constexpr int kOptionCount = 6;
inline constexpr int kInputs = 4;      // In 1..In 4
inline constexpr int kPortSpeeds = 5;  // In 1, In 2, In 3, In 4/Out 1, Out 2

// How a capture finds the input of a sentence.
enum class CaptureKind {
  ChannelNumbers,        // "PQVXCN,<n>" lines in front of the traffic (generations 3 and 4)
  ChannelNumbersNotIds,  // the same, channel IDs switched off meanwhile (generation 2)
  ChannelIds,            // "M<n>" prefixed identifiers (generation 1)
};

// What the version reply tells about the connected model.
enum class ModelCheck {
  SerialAndVersion,  // the model class follows from serial number and version (generation 1)
  CapabilityLayout,  // the capability word says what the model has (generation 2)
  CapabilityServed,  // the capability word only confirms this program serves it (generations 3 and 4)
};

struct Generation {
  int number = 4;
  std::string_view titleSuffix;
  // CF field of each option (indexed by Option); 0 = the generation lacks it.
  std::array<int, kOptionCount> cfField{};
  int realTimeField = 0;
  int cfFieldCount = 0;
  // Options kept in configuration files (indexed by Option).
  std::array<bool, kOptionCount> fileOption{};
  bool portSpeeds = false;    // SP sentence, its query and the "Baud ..." file keys
  bool hostKindTest = false;  // CF field 1 only while the host speed list is enabled
  int monitorLines = 13;
  int sentenceLength = 5;  // of a filter list entry
  bool divisor = true;     // "Div" column, divisor in FL sentences and files
  bool timedLog = true;
  // Filter grid without in-place edits and with a narrow "Sent." column;
  // rows are deleted from the sentence column only and an added row does not become current.
  bool compactGrid = false;
  CaptureKind capture = CaptureKind::ChannelNumbers;
  ModelCheck model = ModelCheck::CapabilityServed;
  bool aisMode = false;  // the capability word may add "AIS" to the modes
  bool configEnabledAtStart = true;
  bool channelCaptions = false;  // inputs captioned "Ch.1".. instead of "In 1"..
  std::string_view hostSpeedList = "cbBaudHost";
  std::string_view optionsGroup = "gbOptions";
  std::string_view autoModeCaption = "Auto Hub/Server";

  bool Has(Option o) const { return cfField[static_cast<int>(o)] != 0; }
  int Field(Option o) const { return cfField[static_cast<int>(o)]; }
  bool InFile(Option o) const { return fileOption[static_cast<int>(o)]; }
  // Generations whose model decides the layout hide most of it until the version reply.
  bool LayoutFromModel() const { return model != ModelCheck::CapabilityServed; }
};

// The description of generation 1..4; anything else gives generation 4.
const Generation& GenerationFor(int number);

}  // namespace hlx::legacy
