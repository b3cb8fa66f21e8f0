#pragma once
// Plays a recorded capture of a device's output instead of generated traffic.
// Each line of the file is read on its own, as one of three kinds:
//  - an NMEA line whose leading TAG block holds the receive time in "c:"
//    (UNIX time, 10 digits or fewer: seconds, 13 digits: milliseconds). It is
//    played without that parameter: the TAG block's checksum is worked out
//    anew, and a TAG block that held nothing else goes. Every other byte stays
//    as recorded, a wrong sentence checksum too;
//  - a line of the window's diagnostic log, "[hh:mm:ss.zzz Ser<-] text":
//    only received lines ("<-") are played, their text as logged; a time
//    before the previous one means the log went past midnight;
//  - a bare NMEA line (it starts with '$', '!' or '\'), as the window's NMEA
//    log holds them: one every kBareLineMs.
// Blank lines and anything else are skipped. Lines keep their order; the
// pause between two lines of different kinds is kBareLineMs, and a pause
// longer than kMaxPauseMs is cut to kCutPauseMs.

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hlx::sim {

inline constexpr int kBareLineMs = 100;     // ten bare lines a second at speed 1
inline constexpr int kMaxPauseMs = 30'000;  // a longer pause in a capture ...
inline constexpr int kCutPauseMs = 2'000;   // ... is cut to this
inline constexpr int kLoopPauseMs = 1'000;  // between the last line and the first again
inline constexpr double kMinReplaySpeed = 0.001;
inline constexpr double kMaxReplaySpeed = 1000;

struct ReplayLine {
  std::int64_t atMs = 0;  // since the first line, at speed 1; never decreasing
  std::string bytes;      // as sent, CR LF included
};

struct ReplayScript {
  std::vector<ReplayLine> lines;
  int skipped = 0;  // lines of the file that are not played
};

// The lines of a capture file's contents (LF or CR LF line ends).
ReplayScript ParseCapture(std::string_view file);

// Reads and parses `path`; false with the reason in `error` when the file
// cannot be read or holds no line to play.
bool LoadCapture(const QString& path, ReplayScript& script, QString& error);

// Sends a script's lines at their time divided by the speed, each when it is
// due by its own single-shot timer (not by a periodic tick), so the pauses
// between lines hold to the millisecond.
class CapturePlayer {
 public:
  using BytesSink = std::function<void(const std::string& bytes)>;
  // "looped" as the first line goes again, "ended" after the last line without a loop.
  using EventSink = std::function<void(const QString& event)>;

  CapturePlayer(ReplayScript script, double speed, bool loop, BytesSink bytes, EventSink events);

  // The first line goes now.
  void Start();
  bool Started() const { return m_started; }
  const ReplayScript& Script() const { return m_script; }
  // How long one pass takes at the player's speed.
  double PassSeconds() const;

 private:
  void Play();
  double DueNs(std::size_t index) const;  // on m_clock

  ReplayScript m_script;
  double m_speed;
  bool m_loop;
  BytesSink m_bytes;
  EventSink m_events;
  QTimer m_timer;
  QElapsedTimer m_clock;
  bool m_started = false;
  std::size_t m_next = 0;
  bool m_looping = false;  // a pass after the first
  double m_passStartNs = 0;
};

}  // namespace hlx::sim
