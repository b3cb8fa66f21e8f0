#pragma once
// Firmware containers as the program loads them and the bootloader takes
// them: a 17-byte header, then the enciphered image. The image as it sits in
// the device's flash after deciphering is a 16-byte record (magic, version,
// multiplexer type, body length, body CRC-32) followed by the body.
//
// Pure functions over bytes; the command (MkfwCommand) does the files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace hlx::mkfw {

inline constexpr std::size_t kImageArea = 0x40000;  // the loader's whole image area
inline constexpr std::size_t kBlockSize = 512;      // one program-block command
inline constexpr std::size_t kContainerHeaderSize = 17;
inline constexpr std::size_t kRecordSize = 16;                     // the plain image's own header
inline constexpr std::size_t kMaxBody = kImageArea - kRecordSize;  // 262,128
inline constexpr std::uint8_t kFill = 0xFF;  // erased flash, and the area after the image
inline constexpr std::uint32_t kKeySeed = 0x484C5831;

struct Version {
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
  std::uint8_t build = 0;
};

// "X.Y.Z", each part decimal digits with a value 0..255; nothing else.
std::optional<Version> ParseVersion(std::string_view text);

// The zlib / IEEE 802.3 CRC-32.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// The container's checksum over `payload` padded with 0xFF to the whole
// image area (a payload longer than the area counts up to the area only).
std::uint32_t FirmwareChecksum(std::span<const std::uint8_t> payload);

// XORs the keystream onto `bytes`, which start at flash address `address`.
// Enciphering and deciphering are the same operation.
void ApplyKeystream(std::span<std::uint8_t> bytes, std::size_t address = 0);

// The plain image: record then body. Empty when the body does not fit.
std::vector<std::uint8_t> PlainImage(const Version& version, std::uint8_t type,
                                     std::span<const std::uint8_t> body);

// CRC-32 the bootloader reports after receiving `payload` (enciphered, with
// decryption on): over the deciphered blocks, the last one filled with 0xFF.
std::uint32_t ImageCrc(std::span<const std::uint8_t> payload);

// A whole container for `body`; empty when the body does not fit.
std::vector<std::uint8_t> BuildContainer(const Version& version, std::uint8_t type,
                                         std::span<const std::uint8_t> body);

// A deterministic stand-in body of `size` bytes (the same bytes on every run).
std::vector<std::uint8_t> SyntheticBody(std::size_t size);

}  // namespace hlx::mkfw
