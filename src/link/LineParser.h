#pragma once
// Cuts a received byte stream into NMEA lines. One instance per receive
// path (serial thread, TCP thread, UDP receiver); the state survives between
// reads, so a line may arrive in any number of pieces.
//
// A line starts at `$`, `!` or `\` and ends at LF; bytes between lines are
// dropped. At most kMaxLineLength characters (start character through LF) are
// kept: when that many are collected without an LF, the next byte is dropped
// together with the collected text and the parser waits for a start again.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/Nmeadefs.h"

namespace hlx {

inline constexpr char kLineEnd = '\n';

class LineParser {
 public:
  enum State : std::uint8_t { WaitStart = 0, Collecting = 2 };

  // Feeds `size` bytes; `sink(std::string_view line)` is called once per
  // completed line (CR LF included). The view is valid during the call only.
  template <class Sink>
  void Feed(const char* data, std::size_t size, Sink&& sink) {
    const char* p = data;
    const char* const end = data + size;
    while (p != end) {
      bool complete = false;
      p = Step(p, end, complete);
      if (complete) sink(Line());
    }
  }

  void Reset() {
    m_state = WaitStart;
    m_length = 0;
  }
  State state() const { return m_state; }
  std::size_t length() const { return m_state == Collecting ? m_length : 0; }

 private:
  // Consumes bytes up to and including the end of the next line (or all of
  // them); `complete` is set when a line was finished.
  const char* Step(const char* p, const char* end, bool& complete);
  std::string_view Line() const { return {m_buffer.data(), m_length}; }

  std::array<char, kMaxLineLength> m_buffer{};
  std::size_t m_length = 0;
  State m_state = WaitStart;
};

}  // namespace hlx
