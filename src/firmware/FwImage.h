#pragma once
// Firmware containers: a 17-byte header and the enciphered image, which the
// program checks and keeps but never deciphers. There is one FirmwareImage
// for the program's whole run; every load overwrites it.

#include <QString>

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace hlx {

inline constexpr std::size_t kFwHeaderSize = 17;
inline constexpr std::size_t kFwImageAreaSize = 0x40000;  // 262,144 bytes
inline constexpr std::uint8_t kFwFillByte = 0xFF;
inline constexpr std::uint8_t kFwFormatVersion = 0;
// The source name that selects the container built into the program.
inline constexpr const char* kBuiltInFirmware = "RCDATA";
inline constexpr const char* kBuiltInFirmwareResource = ":/FIRMWARE";

// Header offsets.
inline constexpr std::size_t kFwMagicOffset = 0;
inline constexpr std::size_t kFwFormatOffset = 4;
inline constexpr std::size_t kFwMajorOffset = 5;
inline constexpr std::size_t kFwBuildOffset = 6;
inline constexpr std::size_t kFwMinorOffset = 7;
inline constexpr std::size_t kFwTypeOffset = 8;
inline constexpr std::size_t kFwCrcOffset = 9;
inline constexpr std::size_t kFwChecksumOffset = 13;
inline constexpr std::array<std::uint8_t, 4> kFwMagic = {'H', 'L', 'X', 0x00};

// A container that cannot be used, or a file that cannot be read: one kind,
// so one handler reports both.
class EFirmwareError : public std::runtime_error {
 public:
  explicit EFirmwareError(const QString& message) : std::runtime_error(message.toStdString()) {}
  QString Message() const { return QString::fromStdString(what()); }
};

struct FirmwareImage {
  std::array<std::uint8_t, kFwHeaderSize> header{};
  std::vector<std::uint8_t> area = std::vector<std::uint8_t>(kFwImageAreaSize, kFwFillByte);
  std::uint32_t payloadLength = 0;

  // major x 65,536 + minor x 256 + build, as versions are compared.
  std::uint32_t Version() const;
  std::uint8_t MuxType() const { return header[kFwTypeOffset]; }
  std::uint32_t ImageCrc() const;
  std::uint32_t StoredChecksum() const;
};

// Checksum over the whole image area, fill included; always below 0x1000000.
// An area shorter than kFwImageAreaSize is summed as far as it goes.
std::uint32_t FirmwareChecksum(std::span<const std::uint8_t> area);

// Checks container bytes and fills `image`. `builtIn` selects the rules of the
// program's own container (no magic or format check, its own message).
// Throws EFirmwareError.
void ParseFirmware(std::span<const std::uint8_t> bytes, bool builtIn, FirmwareImage& image);

// The program's one container.
FirmwareImage& TheFirmwareImage();
// Loads kBuiltInFirmware or a container file into TheFirmwareImage(). Throws EFirmwareError.
FirmwareImage& LoadFirmware(const QString& source);

}  // namespace hlx
