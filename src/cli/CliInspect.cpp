// hlx-cli inspect: the sentence inspector's table, once a second or once
// after a given time, as text or as one JSON object per line. Like record it
// sends nothing: the counts are of the traffic as the device sends it.

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/ConsolePrompts.h"
#include "session/SentenceInspector.h"

namespace hlx::cli {

namespace {

constexpr int kRefreshMs = 1000;
constexpr int kHighestInput = kInspectorInputs - 1;
constexpr const char* kStaleMark = "*";

// Seconds and rates have one decimal; every other number is a count.
bool OneDecimal(int column) { return column == ColRate || column == ColAge || column == ColLongestGap; }

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7F) {  // garbage as received is not always UTF-8
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

void AppendJsonNumber(std::string& out, double value, int column) {
  char text[32];
  if (!std::isfinite(value))
    out += "null";
  else {
    std::snprintf(text, sizeof text, OneDecimal(column) ? "%.1f" : "%.0f", value);
    out += text;
  }
}

// {"t":2.0,"rows":[{"input":"1","talker":"GP","type":"RMC","count":12,"rate":1.0,...,"stale":false}]}
std::string JsonTable(const std::vector<const InspectorRow*>& rows, std::int64_t nowMs, double seconds) {
  std::string out = "{\"t\":";
  AppendJsonNumber(out, seconds, ColRate);
  out += ",\"rows\":[";
  for (const InspectorRow* row : rows) {
    out += row == rows.front() ? "{" : ",{";
    for (int column = 0; column < kInspectorColumns; ++column) {
      AppendJsonString(out, InspectorJsonKey(column));
      out += ':';
      if (InspectorNumeric(column))
        AppendJsonNumber(out, InspectorValue(*row, column, nowMs), column);
      else
        AppendJsonString(out, InspectorCell(*row, column, nowMs));
      out += ',';
    }
    out += SentenceInspector::Stale(*row, nowMs) ? "\"stale\":true}" : "\"stale\":false}";
  }
  out += "]}\n";
  return out;
}

// Columns as wide as their widest cell; texts to the left, numbers to the right.
std::string TextTable(const std::vector<const InspectorRow*>& rows, std::int64_t nowMs) {
  std::vector<std::vector<std::string>> cells(1 + rows.size());
  for (int column = 0; column < kInspectorColumns; ++column) cells[0].emplace_back(InspectorHeader(column));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (int column = 0; column < kInspectorColumns; ++column)
      cells[i + 1].push_back(InspectorCell(*rows[i], column, nowMs));
    cells[i + 1].emplace_back(SentenceInspector::Stale(*rows[i], nowMs) ? kStaleMark : "");
  }
  cells[0].emplace_back();
  std::vector<int> widths(kInspectorColumns, 0);
  for (const auto& line : cells)
    for (int column = 0; column < kInspectorColumns; ++column)
      widths[column] = std::max(widths[column], static_cast<int>(line[column].size()));
  std::string out;
  for (const auto& line : cells) {
    std::string text;
    for (int column = 0; column < kInspectorColumns; ++column) {
      const int pad = widths[column] - static_cast<int>(line[column].size());
      if (column > 0) text += "  ";
      if (InspectorNumeric(column)) text.append(pad, ' ');
      text += line[column];
      if (!InspectorNumeric(column)) text.append(pad, ' ');
    }
    text += ' ';
    text += line[kInspectorColumns];
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text;
    out += '\n';
  }
  return out;
}

}  // namespace

int Inspect(CliSession& s, const QCommandLineParser& p, bool json) {
  int input = 0;
  if (p.isSet("input")) {
    bool ok = false;
    input = p.value("input").toInt(&ok);
    if (!ok || input < 1 || input > kHighestInput) {
      PrintError(QStringLiteral("--input must be 1..%1").arg(kHighestInput));
      return ExitUsage;
    }
  }
  int onceMs = -1;
  if (!SecondsOption(p, QStringLiteral("once"), onceMs)) return ExitUsage;

  // What came before (a speed search's garbage) is not the traffic.
  SentenceInspector& inspector = s.Core().Inspector();
  inspector.Clear();
  QElapsedTimer since;
  since.start();
  bool readerGone = false;
  const auto print = [&](bool periodic) {
    const std::int64_t now = s.Core().NowMs();
    std::vector<const InspectorRow*> rows;
    for (const InspectorRow& row : inspector.Rows())
      if (InspectorShows(row, input)) rows.push_back(&row);
    std::string text =
        json ? JsonTable(rows, now, static_cast<double>(since.elapsed()) / 1000.0) : TextTable(rows, now);
    if (periodic && !json) text += '\n';  // one table from the next
    // The reader is gone (`| head`): end as on Ctrl-C.
    readerGone =
        std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) == EOF;
  };

  if (onceMs >= 0) {
    s.WaitFor([] { return false; }, onceMs);
    if (s.ChannelLost()) return ExitConnection;
    if (s.Interrupted()) return ExitInterrupted;  // the table asked for was never complete
    print(false);
    return ExitOk;
  }
  QTimer refresh;
  refresh.setInterval(kRefreshMs);
  QObject::connect(&refresh, &QTimer::timeout, [&] { print(true); });
  refresh.start();
  s.WaitFor([&] { return readerGone; }, -1);
  return s.ChannelLost() ? ExitConnection : ExitOk;
}

}  // namespace hlx::cli
