#pragma once
// Cuts a received byte stream into lines the way the device's UART handler
// does: a line starts at '$', '!' or '\', ends at LF, and is dropped when it
// grows past 128 characters. Bytes between lines are ignored.

#include <string>
#include <string_view>
#include <vector>

namespace hlx::sim {

class LineAssembler {
 public:
  static constexpr std::size_t kMaxLine = 128;

  // Appends every line completed by `bytes` (start character through LF).
  void Feed(std::string_view bytes, std::vector<std::string>& lines);
  void Reset() {
    m_collecting = false;
    m_line.clear();
  }

 private:
  bool m_collecting = false;
  std::string m_line;
};

}  // namespace hlx::sim
