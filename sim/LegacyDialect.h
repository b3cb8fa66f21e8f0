#pragma once
// Generations 1 to 4 (firmware 1.x and 2.x): positional CF fields without a
// command letter whose order differs by generation, ID groups, SP groups
// from generation 4 on, a filter list of five source flags (with a divisor
// from generation 2 on), and the input named in the traffic: "PQVXCN,<input>"
// lines in front of it while channel numbers are on (generations 2 to 4),
// "M<input>" identifiers while channel IDs are on (generations 1 and 2).
// Setting commands are not answered; a query shows them.

#include <string>
#include <vector>

#include "SimDialect.h"

namespace hlx::sim {

// What a setting is kept in; a generation's CF sentence lists them in its own order.
enum class LegacySlot { None, SeaTalk, Priority, ChannelNumbers, ChannelIds, RealTime, HdgToHdt, AisOnIn1 };
inline constexpr std::size_t kLegacyCfFields = 9;  // field 0 is the address, 1 host speed, 2 mode

enum class LegacyDivisor { Never, WithCaps, Always };

struct LegacyGenerationTable {
  int generation = 4;
  LegacySlot cf[kLegacyCfFields] = {};  // fields 3.. by number
  bool portSpeeds = false;              // SP sentence and query
  std::size_t nameLength = 5;           // of a filter list sentence
  LegacyDivisor divisor = LegacyDivisor::Always;
  bool aisMode = false;  // a fourth mode when the capability word has bit 7
  bool channelNumberLines = true;
  bool channelIdsFromFactory = false;
  // Reported unless given on the command line.
  const char* firmware = "";
  const char* caps = "";
  const char* serial = "";
};

// The table of generation 1..4, or null for another.
const LegacyGenerationTable* LegacyTable(int generation);

class LegacyDialect : public SimDialect {
 public:
  explicit LegacyDialect(const LegacyGenerationTable& table) : m_table(table) {}
  void HandleSentence(const std::string& line, SimDevice& device, std::vector<std::string>& replies) override;
  bool TagBlocksOn(const SimDevice&) const override { return false; }
  void BeforeLiveLine(const SimDevice& device, int source, std::string& out) override;
  void RewriteLiveLine(const SimDevice& device, int source, std::string& body) const override;
  void AdjustFactory(SimConfig& config) const override;

 private:
  std::string CfReply(const SimDevice& device) const;
  std::vector<std::string> FilterReplies(const SimDevice& device) const;
  void HandleCf(const std::vector<std::string>& f, const SimDevice& device, SimConfig& c) const;
  void HandleFl(const std::vector<std::string>& f, SimConfig& c) const;
  bool Divisors(const SimDevice& device) const;

  const LegacyGenerationTable& m_table;
  int m_announced = 0;  // input named by the last CN line; 0 = none since channel numbers came on
};

}  // namespace hlx::sim
