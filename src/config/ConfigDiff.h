#pragma once
// What changes when one configuration replaces another, setting by setting
// and rule by rule, in the words of the configuration tabs. Pure code: the
// command-line program prints it before a file is applied.

#include <QString>
#include <vector>

#include "config/DeviceConfig.h"
#include "config/FilterList.h"

namespace hlx {

struct ConfigChange {
  QString Setting;  // "In 2 speed", "Option TAG Blocks", "Filter rule 3"
  QString From;     // as the device holds it now ("" for a rule that is added)
  QString To;       // as it would be ("" for a rule that is removed)
  bool operator==(const ConfigChange&) const = default;
};

// Every difference between `from` and `to`. The rule list is stored as a
// whole, so rules are compared by position.
std::vector<ConfigChange> DiffConfiguration(const DeviceConfig& from, const FilterList& fromRules,
                                            const DeviceConfig& to, const FilterList& toRules);

// One rule in words: "GPRMC from In1, In2 to Out1, PC, Div 2".
QString DescribeRule(const FilterRule& rule);

}  // namespace hlx
