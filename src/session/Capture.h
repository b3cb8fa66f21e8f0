#pragma once
// Captures: every received line as it came, stamped with its receive time in
// a TAG block's `c:` parameter (UNIX time in milliseconds), so that other
// NMEA tools read the file and a replay keeps the original pacing. The
// sentence itself is never touched, not even a wrong checksum: a capture
// shows what the multiplexer really sent.

#include <QFile>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace hlx {

inline constexpr char kCaptureFileFilter[] = "NMEA capture (*.nmea)";
inline constexpr char kCaptureSuffix[] = "nmea";

// The line with `c:unixMs` in its TAG block, ending in CR LF. A line without
// a TAG block gets one in front; the device's own TAG block (`s:`) gets `c:`
// added (an earlier `c:` replaced) and its checksum computed again. A TAG
// block without its closing backslash, or with a checksum that does not
// match, is kept whole behind a new one, so no damage is hidden.
std::string CaptureLine(std::string_view line, std::int64_t unixMs);

// Writes a capture file; like the traffic log, every line is flushed as it
// is written, so that a full disk stops recording at once with a message.
class CaptureRecorder {
 public:
  CaptureRecorder() = default;
  CaptureRecorder(const CaptureRecorder&) = delete;
  CaptureRecorder& operator=(const CaptureRecorder&) = delete;

  // Creates (or overwrites) the file. Empty on success, else the message.
  QString Start(const QString& fileName);
  // Writes one received line. On a write error recording stops and the
  // message is returned; nothing happens while not recording.
  QString Write(std::string_view line, std::int64_t unixMs);
  void Stop();

  bool Active() const { return m_file.isOpen(); }
  QString FileName() const { return m_file.fileName(); }
  // Lines written since the start (kept after the stop).
  std::int64_t Lines() const { return m_lines; }

 private:
  QFile m_file;
  std::int64_t m_lines = 0;
};

}  // namespace hlx
