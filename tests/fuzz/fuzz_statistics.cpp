// STAT reports on arbitrary lines: the values present are the leading fields
// the line has, each one the field's decimal number (saturating, never
// negative), and every bar value stays inside its bar.

#include <charconv>
#include <climits>
#include <string>

#include "FuzzCheck.h"
#include "config/Statistics.h"
#include "link/Nmeadefs.h"

using namespace hlx;

namespace {

void CheckFieldValue(std::string_view field) {
  const int value = StatFieldValue(field);
  const std::size_t first = std::min(field.find_first_not_of(' '), field.size());
  const std::string_view digits = field.substr(first, field.find_first_not_of("0123456789", first) - first);
  long long expected = 0;
  const auto error = std::from_chars(digits.data(), digits.data() + digits.size(), expected).ec;
  if (error == std::errc::result_out_of_range || expected > INT_MAX) expected = INT_MAX;
  FUZZ_CHECK(value == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line = hlx::fuzz::View(data, size);
  const StatReport report = ParseSTATReply(line);
  bool missing = false;
  std::string field;
  for (int i = 0; i < kStatFieldCount; ++i) {
    const auto& value = report.Values[std::size_t(i)];
    const bool present = ExtractField(line, i + 1, field) >= 0;
    FUZZ_CHECK(value.has_value() == (present && !missing));
    missing = missing || !present;
    if (!value) continue;
    FUZZ_CHECK(*value >= 0 && *value == StatFieldValue(field));
    const int bar = ClampToBar(i, *value);
    const int max = i < 4 ? kQueueBarMax : kLoadBarMax;
    FUZZ_CHECK(bar >= 0 && bar <= max && (bar == *value || bar == max));
  }
  CheckFieldValue(line);
  return 0;
}
