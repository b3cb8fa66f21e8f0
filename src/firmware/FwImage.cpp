#include "firmware/FwImage.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace hlx {

namespace {

const char* const kNotFirmware = "Not a valid firmware file";
const char* const kUnsupportedFormat = "Unsupported firmware file version";
const char* const kFileCorrupt = "Firmware file is corrupt";
const char* const kBuiltInCorrupt = "Firmware image is corrupt";
// An empty image would have the device erased and left in its bootloader.
const char* const kNoImage = "The firmware file contains no firmware image";

constexpr std::uint32_t kChecksumTopBit = 1u << 24;
constexpr std::uint32_t kChecksumFeedback = 0x80001B;
constexpr std::uint32_t kChecksumMask = 0xFFFFFF;

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

}  // namespace

std::uint32_t FirmwareImage::Version() const {
  return std::uint32_t(header[kFwMajorOffset]) << 16 | std::uint32_t(header[kFwMinorOffset]) << 8 |
         header[kFwBuildOffset];
}

std::uint32_t FirmwareImage::ImageCrc() const { return Le32(&header[kFwCrcOffset]); }

std::uint32_t FirmwareImage::StoredChecksum() const { return Le32(&header[kFwChecksumOffset]); }

std::uint32_t FirmwareChecksum(std::span<const std::uint8_t> area) {
  std::uint32_t acc = 0;
  for (std::size_t i = 0; i + 1 < area.size(); i += 2) {
    const std::uint32_t word = area[i] | std::uint32_t(area[i + 1]) << 8;
    acc = (acc << 1) ^ word;
    if (acc & kChecksumTopBit) acc = (acc ^ kChecksumFeedback) & kChecksumMask;
  }
  return acc;
}

void ParseFirmware(std::span<const std::uint8_t> bytes, bool builtIn, FirmwareImage& image) {
  image.area.assign(kFwImageAreaSize, kFwFillByte);
  image.payloadLength = 0;
  if (bytes.size() < kFwHeaderSize)
    throw EFirmwareError(builtIn ? QString::fromLatin1(kBuiltInCorrupt)
                                 : QStringLiteral("The file is shorter than a firmware file header"));
  std::copy_n(bytes.begin(), kFwHeaderSize, image.header.begin());
  if (!builtIn) {
    if (!std::equal(kFwMagic.begin(), kFwMagic.end(), image.header.begin() + kFwMagicOffset))
      throw EFirmwareError(QString::fromLatin1(kNotFirmware));
    if (image.header[kFwFormatOffset] > kFwFormatVersion)
      throw EFirmwareError(QString::fromLatin1(kUnsupportedFormat));
  }
  std::size_t payload = bytes.size() - kFwHeaderSize;
  // A file's bytes beyond the area are ignored; the program's own container
  // must fit, or it was built wrong.
  if (payload > kFwImageAreaSize) {
    if (builtIn) throw EFirmwareError(QString::fromLatin1(kBuiltInCorrupt));
    payload = kFwImageAreaSize;
  }
  std::copy_n(bytes.begin() + kFwHeaderSize, payload, image.area.begin());
  image.payloadLength = static_cast<std::uint32_t>(payload);
  if (FirmwareChecksum(image.area) != image.StoredChecksum())
    throw EFirmwareError(QString::fromLatin1(builtIn ? kBuiltInCorrupt : kFileCorrupt));
  if (payload == 0) throw EFirmwareError(QString::fromLatin1(kNoImage));
}

FirmwareImage& TheFirmwareImage() {
  static FirmwareImage image;
  return image;
}

FirmwareImage& LoadFirmware(const QString& source) {
  FirmwareImage& image = TheFirmwareImage();
  const bool builtIn = source == QLatin1String(kBuiltInFirmware);
  QFile file(builtIn ? QString::fromLatin1(kBuiltInFirmwareResource) : source);
  if (!file.open(QIODevice::ReadOnly)) {
    image.area.assign(kFwImageAreaSize, kFwFillByte);
    image.payloadLength = 0;
    throw EFirmwareError(QStringLiteral("Cannot open \"%1\": %2").arg(source, file.errorString()));
  }
  // Never more than a header and a full area plus one byte: enough to tell
  // an oversized built-in container, and a huge file is not read into memory.
  const QByteArray bytes = file.read(qint64(kFwHeaderSize + kFwImageAreaSize + 1));
  const bool readFailed = file.error() != QFileDevice::NoError;
  const QString readError = file.errorString();
  file.close();
  if (readFailed) throw EFirmwareError(QStringLiteral("Cannot read \"%1\": %2").arg(source, readError));
  ParseFirmware(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())), builtIn,
      image);
  return image;
}

}  // namespace hlx
