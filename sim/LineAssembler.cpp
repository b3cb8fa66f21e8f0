#include "LineAssembler.h"

namespace hlx::sim {

void LineAssembler::Feed(std::string_view bytes, std::vector<std::string>& lines) {
  for (char c : bytes) {
    if (!m_collecting) {
      if (c == '$' || c == '!' || c == '\\') {
        m_line.assign(1, c);
        m_collecting = true;
      }
      continue;
    }
    if (m_line.size() >= kMaxLine) {  // overlong: drop it and this byte
      Reset();
      continue;
    }
    m_line += c;
    if (c == '\n') {
      lines.push_back(std::move(m_line));
      Reset();
    }
  }
}

}  // namespace hlx::sim
