#pragma once
// Generation 4 (firmware 2.10 and later 2.x): positional CF fields without a
// command letter, SP and ID groups, a filter list of five source flags and a
// divisor, and "PQVXCN,<input>" in front of live traffic while channel
// numbers are on. Setting commands are not answered; a query shows them.

#include <string>
#include <vector>

#include "SimDialect.h"

namespace hlx::sim {

class Gen4Dialect : public SimDialect {
 public:
  void HandleSentence(const std::string& line, SimDevice& device, std::vector<std::string>& replies) override;
  bool TagBlocksOn(const SimDevice&) const override { return false; }
  void BeforeLiveLine(const SimDevice& device, int source, std::string& out) override;
  void AdjustFactory(SimConfig& config) const override;

 private:
  int m_announced = 0;  // input named by the last CN line; 0 = none since channel numbers came on
};

// Reply texts of generation 4 (wire text with checksum and CR LF).
std::string Gen4CfReply(const SimConfig& c);
std::string Gen4SpReply(const SimConfig& c);
std::string Gen4IdReply(const SimConfig& c);
std::vector<std::string> Gen4FilterReplies(const SimConfig& c, bool withEnd);

}  // namespace hlx::sim
