#pragma once
// The bootloader's framed stop-and-wait protocol and ProgramFirmware, which
// programs TheFirmwareImage() through a port in loader mode. Frame contents
// are built and checked by pure functions so they are tested byte by byte.

#include <QString>

#include <cstdint>
#include <functional>
#include <span>

#include "firmware/FwImage.h"
#include "link/FrameParser.h"

namespace hlx {

class TComm;

inline constexpr std::size_t kFwBlockSize = 512;
inline constexpr std::array<std::uint8_t, 4> kCmdHello = {0xF0, 0xF1, 0xF2, 0xF3};
inline constexpr std::uint8_t kCmdErase = 0x01;
inline constexpr std::uint8_t kCmdProgramBlock = 0x03;
inline constexpr std::uint8_t kCmdReadCrc = 0x05;
inline constexpr std::uint8_t kCmdDecryption = 0x06;
inline constexpr std::uint8_t kDecryptionOn = 0x01;
inline constexpr std::uint8_t kReplyAck = 0x80;
inline constexpr std::uint8_t kReplyCrc = 0x05;
inline constexpr std::uint8_t kReplyCrcAlt = 0x85;
inline constexpr std::uint16_t kCrcReplyLength = 5;

// Blocks needed for `payloadLength` image bytes.
std::uint32_t BlockCount(std::uint32_t payloadLength);
LoaderFrameRecord CommandFrame(std::span<const std::uint8_t> payload);
// Block `index` of the image area (the last one carries the area's 0xFF fill).
LoaderFrameRecord BlockFrame(const FirmwareImage& image, std::uint32_t index);
bool IsAck(const LoaderFrameRecord& reply);
bool IsCrcReply(const LoaderFrameRecord& reply);
// Empty when the CRC reply matches the header's image CRC, else the message.
QString CheckCrcReply(const FirmwareImage& image, const LoaderFrameRecord& reply);

// What ProgramFirmware reports while it runs. All optional.
struct ProgramObserver {
  std::function<void(int maximum)> setMaximum;
  std::function<void(int position)> setPosition;
  // Lets the window paint; runs once before the erase and after every block.
  std::function<void()> processEvents;
  // True when the update must stop (the window is closing).
  std::function<bool()> cancelled;
};

// Programs TheFirmwareImage(). Returns normally on success; throws ECommError
// with the step's message otherwise. Loader mode is always left again.
void ProgramFirmware(TComm& port, const ProgramObserver& observer = {});

}  // namespace hlx
