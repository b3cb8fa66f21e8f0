#include "link/LineParser.h"

#include <cstring>

namespace hlx {

namespace {

bool IsLineStart(char c) { return c == '$' || c == '!' || c == '\\'; }

}  // namespace

const char* LineParser::Step(const char* p, const char* end, bool& complete) {
  if (m_state == WaitStart) {
    while (p != end && !IsLineStart(*p)) ++p;
    if (p == end) return p;
    m_buffer[0] = *p++;
    m_length = 1;
    m_state = Collecting;
  }
  // Collecting: copy whole runs up to the LF instead of going byte by byte.
  const std::size_t room = kMaxLineLength - m_length;
  if (room == 0) {
    // A full buffer without LF: this byte and the collected line go.
    Reset();
    return p + 1;
  }
  const std::size_t available = static_cast<std::size_t>(end - p);
  const std::size_t take = available < room ? available : room;
  const void* lf = std::memchr(p, kLineEnd, take);
  const std::size_t count = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - p) + 1 : take;
  std::memcpy(m_buffer.data() + m_length, p, count);
  m_length += count;
  if (lf) {
    complete = true;
    m_state = WaitStart;
  }
  return p + count;
}

}  // namespace hlx
