#include "config/ReadBack.h"

#include <array>
#include <utility>

#include "link/Nmeadefs.h"

namespace hlx {

namespace {
using ModelReply = bool (*)(DeviceConfig&, std::string_view);

constexpr std::array<std::pair<int, ModelReply>, 6> kModelReplies = {{
    {SidCF, ApplyCFReply},
    {SidDR, ApplyDRReply},
    {SidID, ApplyIDReply},
    {SidSP, ApplySPReply},
    {SidOP, ApplyOPReply},
    {SidIN, ApplyINReply},
}};
}  // namespace

ReadBackResult ApplyReadBackReply(int sentenceId, std::string_view line, DeviceConfig& config,
                                  FilterList& rules) {
  if (sentenceId == SidFL)
    return rules.HandleFLReply(line) ? ReadBackResult::ListEnded : ReadBackResult::Applied;
  for (const auto& [id, apply] : kModelReplies) {
    if (id != sentenceId) continue;
    apply(config, line);
    return ReadBackResult::Applied;
  }
  return ReadBackResult::NotMine;
}

}  // namespace hlx
