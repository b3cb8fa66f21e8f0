#include "config/Statistics.h"

#include <climits>
#include <string>

#include "link/Nmeadefs.h"

namespace hlx {

int StatFieldValue(std::string_view field) {
  std::size_t pos = 0;
  while (pos < field.size() && field[pos] == ' ') ++pos;
  long long value = 0;
  for (; pos < field.size() && field[pos] >= '0' && field[pos] <= '9'; ++pos) {
    value = value * 10 + (field[pos] - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

StatReport ParseSTATReply(std::string_view line) {
  StatReport report;
  std::string field;
  for (int i = 0; i < kStatFieldCount; ++i) {
    if (ExtractField(line, i + 1, field) < 0) break;
    report.Values[static_cast<std::size_t>(i)] = StatFieldValue(field);
  }
  return report;
}

StatsToggleAction ToggleStats(bool checkedBefore) {
  const bool checked = !checkedBefore;
  return {checked, CommandText(kAddrSTAT, {checked ? "1" : "0"}), checked};
}

QPoint StatsPlacement(const QRect& mainFrame) { return {mainFrame.x() + mainFrame.width(), mainFrame.y()}; }

int ClampToBar(int index, int value) {
  const int max = index < 4 ? kQueueBarMax : kLoadBarMax;
  return value < 0 ? 0 : (value > max ? max : value);
}

}  // namespace hlx
