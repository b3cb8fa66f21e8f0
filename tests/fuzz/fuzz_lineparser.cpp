// NMEA line cutting on arbitrary bytes: each line runs from a start character
// to its LF within kMaxLineLength characters, the way the stream is cut into
// reads never changes the lines, and they are the ones the rule stated in
// LineParser.h gives when it is applied one byte at a time.

#include <algorithm>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "link/LineParser.h"

using namespace hlx;
using hlx::fuzz::IsLineStart;

namespace {

struct Lines {
  std::vector<std::string> lines;
  std::size_t pending = 0;  // characters collected without their LF
  bool operator==(const Lines&) const = default;
};

// The rule as the header states it: a start character begins a line, an LF
// ends it, and the byte after a full buffer goes together with the buffer.
Lines ByTheRule(std::string_view bytes) {
  Lines out;
  std::string line;
  bool collecting = false;
  for (char c : bytes) {
    if (!collecting) {
      if (IsLineStart(c)) {
        line.assign(1, c);
        collecting = true;
      }
      continue;
    }
    if (line.size() == kMaxLineLength) {
      collecting = false;
      continue;
    }
    line += c;
    if (c == kLineEnd) {
      out.lines.push_back(line);
      collecting = false;
    }
  }
  out.pending = collecting ? line.size() : 0;
  return out;
}

template <class NextSize>
Lines Parse(std::string_view bytes, NextSize nextSize) {
  LineParser parser;
  Lines out;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t n = std::min(nextSize(), bytes.size() - pos);
    parser.Feed(bytes.data() + pos, n, [&](std::string_view line) {
      FUZZ_CHECK(line.size() >= 2 && line.size() <= kMaxLineLength);
      FUZZ_CHECK(IsLineStart(line.front()));
      FUZZ_CHECK(line.find(kLineEnd) == line.size() - 1);
      out.lines.emplace_back(line);
    });
    pos += n;
  }
  FUZZ_CHECK((parser.state() == LineParser::Collecting) == (parser.length() > 0));
  out.pending = parser.length();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = hlx::fuzz::View(data, size);
  const Lines expected = ByTheRule(bytes);
  FUZZ_CHECK(Parse(bytes, [] { return std::size_t(-1); }) == expected);
  FUZZ_CHECK(Parse(bytes, [] { return std::size_t(1); }) == expected);
  // Reads around the buffer size find the edges of a full buffer.
  hlx::fuzz::Cuts cuts(bytes, kMaxLineLength + 3);
  FUZZ_CHECK(Parse(bytes, [&] { return cuts.Next(); }) == expected);
  return 0;
}
