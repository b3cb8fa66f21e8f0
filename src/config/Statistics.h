#pragma once
// Statistics reports of the multiplexer: the peak fill of its four input
// queues and its processor load, shown as five bars in the statistics window.
// Parsing a report and deciding what a click on "Show Statistics" sends are
// pure functions; the window only shows values.

#include <QPoint>
#include <QRect>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace hlx {

inline constexpr int kStatFieldCount = 5;  // In1..In4 queues, processor load
inline constexpr int kQueueBarMax = 63;
inline constexpr int kLoadBarMax = 4608;

// Fields 1 to 5 of a STAT report; a field the line does not have stays empty
// so that its bar keeps the value it shows.
struct StatReport {
  std::array<std::optional<int>, kStatFieldCount> Values{};
};

// Decimal value of a report field: leading blanks skipped, digits up to the
// first other character, 0 when there are none. Huge numbers saturate.
int StatFieldValue(std::string_view field);
StatReport ParseSTATReply(std::string_view line);

// What a click on "Show Statistics" does, given the check mark before it.
struct StatsToggleAction {
  bool Checked;         // check mark after the click
  std::string Command;  // sentence to send: PQVXSTAT,1 or PQVXSTAT,0
  bool Show;            // show (true) or hide (false) the window
};
StatsToggleAction ToggleStats(bool checkedBefore);

// Top-left corner of the statistics window: against the right edge of the
// main window's frame, tops aligned.
QPoint StatsPlacement(const QRect& mainFrame);

// Bars of the queues scale 0..63 and the load 0..4608; out-of-range values
// show as an empty or full bar.
int ClampToBar(int index, int value);

}  // namespace hlx
