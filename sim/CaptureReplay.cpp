#include "CaptureReplay.h"

#include <QFile>
#include <algorithm>
#include <cmath>

#include "SimSentence.h"

namespace hlx::sim {

namespace {

constexpr std::int64_t kDayMs = 24 * 3600 * 1000;

// What a line's time is measured against: only two times of one kind give a pause.
enum class Clock { None, Unix, Day };

struct Parsed {
  Clock clock = Clock::None;
  std::int64_t ms = 0;
  std::string bytes;  // without line end
};

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::int64_t Number(std::string_view digits) {
  std::int64_t n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

// Length of the TAG block at the start of `text`, both backslashes included; 0 for none.
std::size_t TagBlockLength(std::string_view text) {
  if (text.size() < 2 || text[0] != '\\') return 0;
  const std::size_t end = text.find('\\', 1);
  return end == std::string_view::npos ? 0 : end + 1;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

enum class TagTime { Absent, Bad, Found };

// Looks for "c:" in the line's leading TAG blocks. Found: `out` holds the
// time and the line without it. Bad: a "c:" that cannot be trusted (its TAG
// block's checksum is wrong, the time is no UNIX time, there are two of
// them) or nothing but TAG blocks would be left to send.
TagTime TakeTagTime(std::string_view line, Parsed& out) {
  for (std::size_t pos = 0;;) {
    const std::size_t length = TagBlockLength(line.substr(pos));
    if (length == 0) return TagTime::Absent;
    const std::string_view inside = line.substr(pos + 1, length - 2);
    const std::size_t star = inside.find('*');
    const std::string_view content = inside.substr(0, star);
    std::vector<std::string_view> kept;
    std::vector<std::string_view> times;
    for (std::string_view parameter : Split(content, ','))
      (parameter.substr(0, 2) == "c:" ? times : kept).push_back(parameter);
    if (times.empty()) {
      pos += length;
      continue;
    }
    const std::string_view rest = line.substr(pos + length);
    if (star == std::string_view::npos || inside.size() - star != 3 || times.size() != 1 || rest.empty())
      return TagTime::Bad;
    const int high = HexValue(inside[star + 1]), low = HexValue(inside[star + 2]);
    if (high < 0 || low < 0 || XorChecksum(content) != high * 16 + low) return TagTime::Bad;
    const std::string_view digits = times[0].substr(2);
    if (!AllDigits(digits) || (digits.size() > 10 && digits.size() != 13)) return TagTime::Bad;
    out.clock = Clock::Unix;
    out.ms = digits.size() == 13 ? Number(digits) : Number(digits) * 1000;
    out.bytes.assign(line.substr(0, pos));
    if (!kept.empty()) {
      std::string others;
      for (std::string_view parameter : kept) (others += others.empty() ? "" : ",") += parameter;
      out.bytes += WireTagBlock(others);
    }
    out.bytes += rest;
    return TagTime::Found;
  }
}

// "[hh:mm:ss.zzz Ser<-] text", as the window's diagnostic log writes a
// received line. False for anything else, a sent line ("->") included.
bool DiagnosticLine(std::string_view line, Parsed& out) {
  constexpr std::size_t kTextAt = 21;
  if (line.size() <= kTextAt || line[0] != '[' || line[3] != ':' || line[6] != ':' || line[9] != '.' ||
      line[13] != ' ' || line.substr(17, 4) != "<-] ")
    return false;
  const std::string_view channel = line.substr(14, 3);
  if (channel != "Ser" && channel != "UDP" && channel != "TCP" && channel != "---") return false;
  const std::string_view hours = line.substr(1, 2), minutes = line.substr(4, 2), seconds = line.substr(7, 2),
                         millis = line.substr(10, 3);
  if (!AllDigits(hours) || !AllDigits(minutes) || !AllDigits(seconds) || !AllDigits(millis) ||
      Number(hours) > 23 || Number(minutes) > 59 || Number(seconds) > 59)
    return false;
  out.clock = Clock::Day;
  out.ms = ((Number(hours) * 60 + Number(minutes)) * 60 + Number(seconds)) * 1000 + Number(millis);
  out.bytes.assign(line.substr(kTextAt));
  return true;
}

// One line of the file, without its line end; false when it is not played.
bool ParseLine(std::string_view line, Parsed& out) {
  if (line.empty()) return false;
  if (line[0] == '[') return DiagnosticLine(line, out);
  if (line[0] == '\\') {
    const TagTime time = TakeTagTime(line, out);
    if (time != TagTime::Absent) return time == TagTime::Found;
  }
  if (line[0] != '$' && line[0] != '!' && line[0] != '\\') return false;
  out.clock = Clock::None;
  out.bytes.assign(line);
  return true;
}

}  // namespace

ReplayScript ParseCapture(std::string_view file) {
  ReplayScript script;
  std::int64_t at = 0;
  Parsed previous;
  std::size_t start = 0;
  while (start < file.size()) {
    std::size_t end = file.find('\n', start);
    if (end == std::string_view::npos) end = file.size();
    std::string_view line = file.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Parsed parsed;
    if (!ParseLine(line, parsed)) {
      ++script.skipped;
      continue;
    }
    if (!script.lines.empty()) {
      std::int64_t pause = kBareLineMs;
      if (parsed.clock != Clock::None && parsed.clock == previous.clock) {
        pause = parsed.ms - previous.ms;
        if (parsed.clock == Clock::Day && pause < 0) pause += kDayMs;  // past midnight
        pause = std::max<std::int64_t>(pause, 0);                      // a clock set back: at once, in order
      }
      if (pause > kMaxPauseMs) pause = kCutPauseMs;
      at += pause;
    }
    previous.clock = parsed.clock;
    previous.ms = parsed.ms;
    script.lines.push_back({at, std::move(parsed.bytes) + "\r\n"});
  }
  return script;
}

bool LoadCapture(const QString& path, ReplayScript& script, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("--replay %1: %2").arg(path, file.errorString());
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    error = QStringLiteral("--replay %1: %2").arg(path, file.errorString());
    return false;
  }
  script = ParseCapture({bytes.constData(), static_cast<std::size_t>(bytes.size())});
  if (script.lines.empty()) {
    error = QStringLiteral("--replay %1: no line to play (%2 skipped)").arg(path).arg(script.skipped);
    return false;
  }
  return true;
}

CapturePlayer::CapturePlayer(ReplayScript script, double speed, bool loop, BytesSink bytes, EventSink events)
    : m_script(std::move(script)),
      m_speed(speed),
      m_loop(loop),
      m_bytes(std::move(bytes)),
      m_events(std::move(events)) {
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { Play(); });
}

double CapturePlayer::PassSeconds() const {
  return m_script.lines.empty() ? 0 : static_cast<double>(m_script.lines.back().atMs) / m_speed / 1000;
}

double CapturePlayer::DueNs(std::size_t index) const {
  return m_passStartNs + static_cast<double>(m_script.lines[index].atMs) * 1e6 / m_speed;
}

void CapturePlayer::Start() {
  if (m_started || m_script.lines.empty()) return;
  m_started = true;
  m_clock.start();
  Play();
}

void CapturePlayer::Play() {
  const auto now = static_cast<double>(m_clock.nsecsElapsed());
  const std::vector<ReplayLine>& lines = m_script.lines;
  for (;;) {
    const bool passStarts = m_next == 0 && m_looping;
    std::string batch;
    while (m_next < lines.size() && DueNs(m_next) <= now) batch += lines[m_next++].bytes;
    if (!batch.empty()) {
      m_bytes(batch);
      if (passStarts) m_events(QStringLiteral("looped"));
    }
    if (m_next < lines.size()) break;
    if (!m_loop) {
      m_events(QStringLiteral("ended"));
      return;
    }
    // At least a millisecond per pass even at the highest speed: never a busy loop.
    m_passStartNs += static_cast<double>(lines.back().atMs + kLoopPauseMs) * 1e6 / m_speed;
    m_next = 0;
    m_looping = true;
  }
  // A long wait (a slow speed) is taken in parts.
  m_timer.start(static_cast<int>(std::min(std::ceil((DueNs(m_next) - now) / 1e6), double(kMaxPauseMs))));
}

}  // namespace hlx::sim
