#pragma once
// The current generation (firmware 3.33 and later): "C" commands that carry a
// whole group of settings (empty fields left unchanged), "R" replies, the
// filter list, statistics switch and factory reset.

#include <string>
#include <vector>

#include "SimDialect.h"

namespace hlx::sim {

struct SimConfig;

class CurrentDialect : public SimDialect {
 public:
  void HandleSentence(const std::string& line, SimDevice& device, std::vector<std::string>& replies) override;
  bool TagBlocksOn(const SimDevice& device) const override;
  std::vector<std::string> StartUpLines(const SimDevice& device) const override;
};

// Reply texts of the current generation (wire text with checksum and CR LF).
std::string VerReply(const SimDevice& device);
std::string CfReply(const SimConfig& c);
std::string DrReply(const SimConfig& c);
std::string IdReply(const SimConfig& c);
std::string SpReply(const SimConfig& c);
std::string OpReply(const SimConfig& c);
std::string InReply(const SimConfig& c);
std::vector<std::string> FilterReplies(const SimConfig& c, bool withEnd);

}  // namespace hlx::sim
