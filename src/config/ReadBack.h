#pragma once
// The configuration read-back: which reply changes which part of the model.
// One table for every window that reads a current-generation device, so a
// reply is routed in exactly one place.

#include <string_view>

#include "config/DeviceConfig.h"
#include "config/FilterList.h"

namespace hlx {

enum class ReadBackResult {
  NotMine,    // not a configuration reply
  Applied,    // the model or the rule list took it
  ListEnded,  // a filter list reply that ended the list, and so the read-back
};

// Applies one reply (by its sentence id) to `config` or `rules`.
ReadBackResult ApplyReadBackReply(int sentenceId, std::string_view line, DeviceConfig& config,
                                  FilterList& rules);

}  // namespace hlx
