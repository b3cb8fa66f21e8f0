#include "session/SentenceInspector.h"

#include <algorithm>
#include <cstdio>

#include "link/Nmeadefs.h"

namespace hlx {

namespace {

constexpr std::string_view kGarbage = "?";
constexpr std::size_t kAddressChars = 8;  // longer addresses are not sentences of ours or anyone's
constexpr int kAddressBits = 7;

std::string_view UpToNul(std::string_view s) {
  const auto nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool AddressChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

enum class Checksum { Good, Bad, Missing };

Checksum CheckSentence(std::string_view sentence) {
  const auto star = sentence.rfind('*');
  if (star == std::string_view::npos) return Checksum::Missing;
  if (star + 3 != sentence.size()) return Checksum::Bad;
  const int hi = HexDigitValue(sentence[star + 1]);
  const int lo = HexDigitValue(sentence[star + 2]);
  if (hi < 0 || lo < 0) return Checksum::Bad;
  return NmeaChecksum(sentence.substr(0, star)) == hi * 16 + lo ? Checksum::Good : Checksum::Bad;
}

}  // namespace

SentenceInspector::SentenceInspector() {
  // Every row there can be, so that counting never moves a row or allocates for one.
  m_rows.reserve(kMaxInspectorRows + kInspectorInputs);
  m_index.reserve(kMaxInspectorRows + kInspectorInputs);
}

void SentenceInspector::Clear() {
  m_rows.clear();
  m_index.clear();
  ++m_generation;
}

InspectorRow& SentenceInspector::RowFor(int input, char start, std::string_view address) {
  if (m_rows.size() >= kMaxInspectorRows) address = {};
  std::uint64_t key = static_cast<std::uint64_t>(input) << 1 | (start == '!' ? 1u : 0u);
  for (const char c : address) key = key << kAddressBits | static_cast<unsigned char>(c);
  if (address.empty()) key = ~static_cast<std::uint64_t>(input);  // the input's "?" row
  const auto [it, added] = m_index.try_emplace(key, m_rows.size());
  if (!added) return m_rows[it->second];

  InspectorRow& row = m_rows.emplace_back();
  row.input = input;
  row.start = start;
  row.last.reserve(kMaxLineLength);
  if (address.empty()) {
    row.talker = kGarbage;
  } else {
    // A proprietary address is 'P' and a maker's three letters before its own sentence name.
    const std::size_t talker = address.front() == 'P' ? std::min<std::size_t>(4, address.size()) : 2;
    row.talker = address.substr(0, talker);
    row.type = address.substr(talker);
  }
  return row;
}

void SentenceInspector::Add(std::string_view line, std::int64_t nowMs) {
  line = UpToNul(line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty()) return;
  ++m_generation;

  int input = 0;
  std::string_view sentence = line;
  if (line.front() == '\\') {
    const auto close = line.find('\\', 1);
    if (close != std::string_view::npos) {
      // Inputs 1..9; a source without one counts with the lines that have none.
      input = std::max(0, TagSourceInput(line.substr(0, close + 1)));
      sentence = line.substr(close + 1);
    }
  }
  std::string_view address;
  char start = '$';
  if (!sentence.empty() && (sentence.front() == '$' || sentence.front() == '!')) {
    start = sentence.front();
    const auto end = sentence.find_first_of(",*", 1);
    address = sentence.substr(1, (end == std::string_view::npos ? sentence.size() : end) - 1);
    if (address.size() < 2 || address.size() > kAddressChars ||
        !std::all_of(address.begin(), address.end(), AddressChar))
      address = {};
  }
  InspectorRow& row = RowFor(input, start, address);

  if (row.count > 0) row.longestGapMs = std::max(row.longestGapMs, nowMs - row.lastMs);
  if (row.count == 0) row.firstMs = nowMs;
  row.lastMs = nowMs;
  row.times[row.count % kRateLines] = nowMs;
  ++row.count;
  if (!address.empty()) {
    switch (CheckSentence(sentence)) {
      case Checksum::Bad: ++row.badChecksum; break;
      case Checksum::Missing: ++row.noChecksum; break;
      case Checksum::Good: break;
    }
    // The limit counts the line end, which is gone here.
    if (sentence.size() + 2 > kNmeaSentenceLimit) ++row.tooLong;
  }
  // Within the reserved capacity, so no allocation.
  row.last.assign(line.substr(0, kMaxLineLength));
}

double SentenceInspector::Rate(const InspectorRow& row, std::int64_t nowMs) {
  if (row.count < 2) return 0;
  // The intervals that ended within the window, newest first.
  const std::uint64_t kept = std::min<std::uint64_t>(row.count, kRateLines);
  std::uint64_t intervals = 0;
  std::int64_t oldest = row.lastMs;
  for (std::uint64_t i = 1; i < kept; ++i) {
    const std::int64_t end = row.times[(row.count - i) % kRateLines];
    if (end <= nowMs - kInspectorWindowMs) break;
    oldest = row.times[(row.count - i - 1) % kRateLines];
    ++intervals;
  }
  if (intervals == 0) return 0;
  std::int64_t span = row.lastMs - oldest;
  // Once the sentence has stopped coming, its silence belongs to the rate, which then fades.
  if (Stale(row, nowMs)) span += nowMs - row.lastMs;
  return span > 0 ? 1000.0 * static_cast<double>(intervals) / static_cast<double>(span) : 0;
}

bool SentenceInspector::Stale(const InspectorRow& row, std::int64_t nowMs) {
  const std::int64_t usual =
      row.count > 1 ? (row.lastMs - row.firstMs) / static_cast<std::int64_t>(row.count - 1) : 0;
  return nowMs - row.lastMs > std::max(kStaleMinMs, 3 * usual);
}

std::array<double, kInspectorInputs> SentenceInspector::InputRates(std::int64_t nowMs) const {
  std::array<double, kInspectorInputs> rates{};
  for (const InspectorRow& row : m_rows) rates[static_cast<std::size_t>(row.input)] += Rate(row, nowMs);
  return rates;
}

namespace {

struct ColumnText {
  const char* header;
  const char* key;
  const char* description;
};
constexpr ColumnText kColumns[kInspectorColumns] = {
    {"Input", "input", "The input the line came in on (its TAG block's source); - when it names none"},
    {"Talker", "talker", "Talker of the sentence; P and the maker's code for a proprietary one"},
    {"Type", "type", "Sentence type"},
    {"Count", "count", "Lines received"},
    {"Rate/s", "rate", "Lines per second over the last 10 seconds"},
    {"Last (s)", "age_s", "Seconds since the last line"},
    {"Max gap (s)", "longest_gap_s", "Longest time between two lines, in seconds"},
    {"Bad sum", "bad_checksum", "Lines whose checksum is wrong"},
    {"No sum", "no_checksum", "Lines without a checksum"},
    {"Too long", "too_long", "Lines longer than the 82 characters NMEA 0183 allows"},
};

}  // namespace

const char* InspectorHeader(int column) { return kColumns[column].header; }
const char* InspectorDescription(int column) { return kColumns[column].description; }
const char* InspectorJsonKey(int column) { return kColumns[column].key; }

double InspectorValue(const InspectorRow& row, int column, std::int64_t nowMs) {
  switch (column) {
    case ColCount: return static_cast<double>(row.count);
    case ColRate: return SentenceInspector::Rate(row, nowMs);
    // A line may have come after the moment the table is drawn for.
    case ColAge: return static_cast<double>(std::max<std::int64_t>(0, nowMs - row.lastMs)) / 1000.0;
    case ColLongestGap: return static_cast<double>(row.longestGapMs) / 1000.0;
    case ColBadChecksum: return static_cast<double>(row.badChecksum);
    case ColNoChecksum: return static_cast<double>(row.noChecksum);
    case ColTooLong: return static_cast<double>(row.tooLong);
    default: return 0;
  }
}

std::string InspectorCell(const InspectorRow& row, int column, std::int64_t nowMs) {
  switch (column) {
    case ColInput: return SentenceInspector::InputText(row.input);
    case ColTalker: return row.talker;
    case ColType: return row.type;
    case ColRate:
    case ColAge:
    case ColLongestGap: {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f", InspectorValue(row, column, nowMs));
      return text;
    }
    default: return std::to_string(static_cast<std::uint64_t>(InspectorValue(row, column, nowMs)));
  }
}

}  // namespace hlx
