#pragma once
// The last 15 minutes of the multiplexer's statistics reports and of the
// line rate of every input, for the history charts and their CSV export.
// Times are milliseconds since the epoch, given by the caller.

#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <optional>

#include "config/Statistics.h"
#include "session/SentenceInspector.h"

namespace hlx {

inline constexpr std::int64_t kHistorySpanMs = 15 * 60 * 1000;
// Bounds memory whatever the report rate: ten samples a second over the span.
inline constexpr std::size_t kMaxHistorySamples = 9000;

// One column per value: the queues In1..In4, the load, then the rates of
// the inputs "-" and 1..9.
inline constexpr int kHistoryColumns = kStatFieldCount + kInspectorInputs;
inline constexpr int kHistoryFirstRate = kStatFieldCount;
QString HistoryColumnName(int column);  // "In1", "Load", "Rate -", "Rate 1"

struct HistorySample {
  std::int64_t timeMs = 0;
  std::array<std::optional<double>, kHistoryColumns> values{};  // empty: not part of this sample
};

class StatHistory {
 public:
  using Rates = std::array<double, kInspectorInputs>;

  // A report without any field is no sample: false.
  bool AddReport(std::int64_t timeMs, const StatReport& report);
  void AddRates(std::int64_t timeMs, const Rates& rates);
  const std::deque<HistorySample>& Samples() const { return m_samples; }

  // Header line, then one line per sample: the time as ISO 8601 at the
  // given offset from UTC, counts as integers, rates with one decimal; a
  // value the sample does not have is an empty field. CRLF line ends.
  QString ToCsv(int utcOffsetSeconds) const;

 private:
  void Add(const HistorySample& sample);

  std::deque<HistorySample> m_samples;
};

}  // namespace hlx
