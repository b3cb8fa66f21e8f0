#pragma once
// What the traffic monitor shows, as pure rules: the text of a received
// line, the scrolling window of at most 101 lines of at most 102 characters,
// the no-scroll table with one row per kind of sentence (at most 500), and
// the overflow bits of an OV report. The widget only paints the result.

#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

namespace hlx {

inline constexpr int kMaxViewLines = 101;
inline constexpr int kMaxViewChars = 102;
inline constexpr int kRowKeyChars = 5;     // address characters that make two sentences share a row
inline constexpr int kMaxTableRows = 500;  // rows of the no-scroll table; the oldest falls off beyond
inline constexpr int kMaxHistory = 20;

// Text to log for a received line: the bytes as received, the TAG block
// dropped unless `showTag`, the line end removed; nothing when the line is
// too short to show.
std::optional<std::string_view> LoggedText(std::string_view line, bool showTag);
// Text to show: the logged text with control characters turned into '.', so
// a line never turns into several rows.
std::optional<QString> DisplayText(std::string_view line, bool showTag);

// Address field of a shown text (which no longer carries its CR LF).
QString RowKey(const QString& text);
// Row of the no-scroll table a shown text belongs to: the first kRowKeyChars
// characters of its address when they are digits and capital letters, as in
// every real address. Anything else (garbage from a noisy line) shares the
// empty key, so noise cannot grow the table row by row.
QString TableKey(const QString& text);

class TrafficView {
 public:
  // What changed since the last TakeChanges(), so that the widget paints only
  // that: a full repaint at 25 frames a second costs more than the traffic.
  struct Changes {
    bool reset = false;      // paint Lines() anew
    qsizetype appended = 0;  // the last `appended` lines are new; older ones fell off the top
    QList<qsizetype> rows;   // no-scroll: rows replaced in place, as positions in Lines()
    bool Any() const { return reset || appended > 0 || !rows.isEmpty(); }
  };

  void SetNoScroll(bool noScroll) {
    m_noScroll = noScroll;
    Clear();
  }
  bool NoScroll() const { return m_noScroll; }
  // The most lines the view holds in the current mode.
  int Capacity() const { return m_noScroll ? kMaxTableRows : kMaxViewLines; }
  void Clear() {
    m_lines.clear();
    m_keys.clear();
    m_changes = {true, 0, {}};
  }
  void Add(const QString& text);

  const QStringList& Lines() const { return m_lines; }
  Changes TakeChanges();

 private:
  void Append(const QString& text);

  QStringList m_lines;
  QStringList m_keys;  // no-scroll: TableKey of each row, so a new line is not parsed against every row
  bool m_noScroll = false;
  Changes m_changes;
};

// LEDs (bit 0 = input 1) that an OV report switches on, from the first
// character of field 1 read as a hexadecimal digit; 0 when there is none.
unsigned OverflowBits(std::string_view line);

// Manual input history: a new text goes on top, a known one keeps its place,
// the oldest falls off beyond kMaxHistory. Returns true when the list changed.
bool AddToHistory(QStringList& history, const QString& text);

}  // namespace hlx
