#pragma once
// The sentence inspector: every received line counted by input (the TAG
// block's source) and sentence, with its rate, its gaps and what was wrong
// with it. Counting is constant time per line and, once a row exists,
// allocates nothing, so it keeps up with the fastest stream the link
// delivers. Time comes from the caller (milliseconds of a steady clock), so
// the rules run against any clock.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hlx {

inline constexpr std::int64_t kInspectorWindowMs = 10000;  // rates are over the last 10 s
inline constexpr std::size_t kMaxInspectorRows = 256;  // further kinds are counted in their input's "?" row
inline constexpr std::size_t kNmeaSentenceLimit = 82;  // start character through LF, TAG block not counted
inline constexpr int kInspectorInputs = 10;            // "-" (no source) and inputs 1..9
inline constexpr std::int64_t kStaleMinMs = 3000;      // a row goes quiet no sooner than this
inline constexpr std::size_t kRateLines = 128;         // a fast sentence's rate is over its last 128 lines

struct InspectorRow {
  int input = 0;       // 1..9 from the TAG block's source, 0 without one ("-")
  char start = '$';    // '$' or '!' (encapsulated)
  std::string talker;  // "GP", "AI"; "PQVX" for a proprietary sentence; "?" for garbage
  std::string type;    // "RMC", "VDM", "STAT"
  std::uint64_t count = 0;
  std::uint64_t badChecksum = 0;
  std::uint64_t noChecksum = 0;
  std::uint64_t tooLong = 0;  // sentence over the 82 characters NMEA 0183 allows
  std::int64_t firstMs = 0;
  std::int64_t lastMs = 0;
  std::int64_t longestGapMs = 0;
  std::string last;  // the last line as received, TAG block included

  // Arrival times of the last kRateLines lines: line i (from 0) at times[i % kRateLines].
  std::array<std::int64_t, kRateLines> times{};
};

class SentenceInspector {
 public:
  SentenceInspector();

  void Add(std::string_view line, std::int64_t nowMs);
  void Clear();

  // Rows in the order their kinds first came.
  const std::vector<InspectorRow>& Rows() const { return m_rows; }
  // Lines per second over the last 10 s (the last kRateLines lines of a
  // faster sentence): the intervals that ended in that time over their
  // length, so a steady stream reads its exact rate at any moment. Once the
  // row is stale its silence counts too, so a sentence that stops fades.
  static double Rate(const InspectorRow& row, std::int64_t nowMs);
  // The sentence has stopped coming: nothing for three of its usual
  // intervals, and at least kStaleMinMs.
  static bool Stale(const InspectorRow& row, std::int64_t nowMs);
  static std::string InputText(int input) { return input > 0 ? std::to_string(input) : std::string("-"); }
  // Lines per second of every input (index 0: lines without a source).
  std::array<double, kInspectorInputs> InputRates(std::int64_t nowMs) const;
  // Changes with every line and every Clear, so a view knows when to refresh.
  std::uint64_t Generation() const { return m_generation; }

 private:
  InspectorRow& RowFor(int input, char start, std::string_view address);

  std::vector<InspectorRow> m_rows;
  std::unordered_map<std::uint64_t, std::size_t> m_index;  // packed (input, start, address) -> row
  std::uint64_t m_generation = 0;
};

// The inspector's table, as the window and hlx-cli show it.
enum InspectorColumn : int {
  ColInput,
  ColTalker,
  ColType,
  ColCount,
  ColRate,        // lines per second, one decimal
  ColAge,         // seconds since the last line, one decimal
  ColLongestGap,  // seconds, one decimal
  ColBadChecksum,
  ColNoChecksum,
  ColTooLong,
  kInspectorColumns
};
const char* InspectorHeader(int column);       // "Input", "Talker", "Rate/s", ...
const char* InspectorJsonKey(int column);      // "input", "talker", "rate", ...
const char* InspectorDescription(int column);  // what the column counts, in a sentence
// Input, talker and type are texts; every other column is a number.
inline bool InspectorNumeric(int column) { return column >= ColCount; }
double InspectorValue(const InspectorRow& row, int column, std::int64_t nowMs);
std::string InspectorCell(const InspectorRow& row, int column, std::int64_t nowMs);
// Rows of `input` (0: every input) as the monitor's view filter shows them:
// lines without a source always.
inline bool InspectorShows(const InspectorRow& row, int input) {
  return input == 0 || row.input == 0 || row.input == input;
}

// One field of a sentence with its name and unit, for the inspector's detail view.
struct DescribedField {
  std::string name;  // "Latitude"; "Field 7" where the table has no name
  std::string unit;  // "kn", "deg", "m"; empty where none
  std::string value;
};
// The fields of a line (TAG block and checksum left out), named from the
// table of common sentences by its sentence type.
std::vector<DescribedField> DescribeFields(std::string_view line);

}  // namespace hlx
