#include "session/TrafficView.h"

#include <utility>

#include "link/Nmeadefs.h"

namespace hlx {

std::optional<std::string_view> LoggedText(std::string_view line, bool showTag) {
  if (const auto nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
  if (!showTag) {
    if (const auto bs = line.rfind('\\'); bs != std::string_view::npos) line = line.substr(bs + 1);
  }
  if (line.size() <= 2) return std::nullopt;
  // Strip the line end. A line cut short on the way in has none; it is shown whole.
  if (line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::optional<QString> DisplayText(std::string_view line, bool showTag) {
  const auto logged = LoggedText(line, showTag);
  if (!logged) return std::nullopt;
  QString text = QString::fromLatin1(logged->data(), static_cast<qsizetype>(logged->size()));
  // C0, DEL and the C1 range (0x80..0x9F): NEL among them would break the row in two.
  for (QChar& c : text)
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F)) c = QLatin1Char('.');
  return text;
}

QString RowKey(const QString& text) {
  std::string field;
  const std::string sentence = text.toLatin1().toStdString() + "\r\n";
  if (ExtractField(sentence, 0, field) < 0) return {};
  return QString::fromLatin1(field.data(), static_cast<qsizetype>(field.size()));
}

QString TableKey(const QString& text) {
  const QString key = RowKey(text).left(kRowKeyChars);
  if (key.size() < kRowKeyChars) return {};
  for (const QChar c : key)
    if (!((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
          (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
      return {};
  return key;
}

void TrafficView::Add(const QString& text) {
  if (!m_noScroll) {
    Append(text.left(kMaxViewChars));
    return;
  }
  const QString key = TableKey(text);
  if (const qsizetype row = m_keys.indexOf(key); row >= 0) {
    m_lines[row] = text;
    // A row appended since the last repaint is painted whole anyway.
    if (!m_changes.reset && row < m_lines.size() - m_changes.appended && !m_changes.rows.contains(row))
      m_changes.rows.append(row);
    return;
  }
  if (m_lines.size() >= kMaxTableRows) {
    m_keys.removeFirst();
    // The rows below the dropped one move up.
    m_changes.rows.removeAll(0);
    for (qsizetype& row : m_changes.rows) --row;
  }
  Append(text);
  m_keys.append(key);
}

void TrafficView::Append(const QString& text) {
  if (m_lines.size() >= Capacity()) m_lines.removeFirst();
  m_lines.append(text);
  // Once every line shown is new, painting them all at once is cheaper.
  if (!m_changes.reset && ++m_changes.appended >= m_lines.size()) m_changes = {true, 0, {}};
}

TrafficView::Changes TrafficView::TakeChanges() { return std::exchange(m_changes, {}); }

unsigned OverflowBits(std::string_view line) {
  std::string field;
  if (ExtractField(line, 1, field) <= 0) return 0;
  // One bit per input, so a hexadecimal digit covers every combination.
  const char c = field.front();
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return 0;
}

bool AddToHistory(QStringList& history, const QString& text) {
  if (text.isEmpty() || history.contains(text)) return false;
  history.prepend(text);
  while (history.size() > kMaxHistory) history.removeLast();
  return true;
}

}  // namespace hlx
