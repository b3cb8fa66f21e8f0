#pragma once
// Bootloader frames: FE, the data with FD/FE/FF escaped by a leading FF, FD.
// FrameParser collects one frame into a single slot and then ignores every
// byte until the frame is taken.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace hlx {

inline constexpr std::uint8_t kFrameStart = 0xFE;
inline constexpr std::uint8_t kFrameEnd = 0xFD;
inline constexpr std::uint8_t kFrameEscape = 0xFF;
inline constexpr std::size_t kFrameSlotSize = 1024;

// Bootloader frame record: data length and the whole 1024-byte slot.
struct LoaderFrameRecord {
  std::uint16_t length = 0;
  std::array<std::uint8_t, kFrameSlotSize> data{};
};

// Wire bytes of a frame. A length beyond the slot is cut to the slot, so
// nothing past the record is ever read.
std::string EncodeFrame(const LoaderFrameRecord& record);

class FrameParser {
 public:
  enum State : std::uint8_t { Idle = 0, Collecting = 2, Complete = 3, Escaped = 4 };

  void Feed(const std::uint8_t* data, std::size_t size);
  void Feed(std::uint8_t byte) { Feed(&byte, 1); }

  State state() const { return m_state; }
  bool complete() const { return m_state == Complete; }
  // Copies the complete frame (length and the whole slot) and goes idle.
  void Take(LoaderFrameRecord& record);
  void Reset() { m_state = Idle; }

 private:
  LoaderFrameRecord m_frame;
  std::uint16_t m_length = 0;
  State m_state = Idle;
};

}  // namespace hlx
