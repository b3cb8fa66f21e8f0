#include "link/FrameParser.h"

namespace hlx {

std::string EncodeFrame(const LoaderFrameRecord& record) {
  const std::size_t length = record.length < kFrameSlotSize ? record.length : kFrameSlotSize;
  std::string out;
  out.reserve(2 * length + 2);
  out.push_back(static_cast<char>(kFrameStart));
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t b = record.data[i];
    if (b >= kFrameEnd) out.push_back(static_cast<char>(kFrameEscape));
    out.push_back(static_cast<char>(b));
  }
  out.push_back(static_cast<char>(kFrameEnd));
  return out;
}

void FrameParser::Feed(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t c = data[i];
    switch (m_state) {
      case Idle:
        if (c == kFrameStart) {
          m_length = 0;
          m_state = Collecting;
        }
        break;
      case Complete: return;  // the slot is full until Take()
      case Collecting:
        if (c == kFrameEnd) {
          if (m_length == 0) {
            m_state = Idle;  // an empty frame carries nothing
          } else {
            m_frame.length = m_length;
            m_state = Complete;
          }
          break;
        }
        if (c == kFrameStart) {
          m_length = 0;
          break;
        }
        if (c == kFrameEscape) {
          m_state = Escaped;
          break;
        }
        [[fallthrough]];
      case Escaped:
        if (m_length < kFrameSlotSize) m_frame.data[m_length++] = c;
        m_state = Collecting;
        break;
    }
  }
}

void FrameParser::Take(LoaderFrameRecord& record) {
  record = m_frame;
  m_state = Idle;
}

}  // namespace hlx
