#include "FirmwareMaker.h"

#include <algorithm>

namespace hlx::mkfw {

namespace {

constexpr std::uint8_t kMagic[4] = {'H', 'L', 'X', 'I'};
constexpr std::uint8_t kContainerMagic[4] = {'H', 'L', 'X', 0x00};
constexpr std::uint8_t kFormatVersion = 0;
constexpr std::uint32_t kCrcPolynomial = 0xEDB88320;  // reflected
constexpr std::uint32_t kChecksumTop = 1u << 24;
constexpr std::uint32_t kChecksumFold = 0x80001B;
constexpr std::uint32_t kChecksumMask = 0xFFFFFF;

void PutLe32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::optional<Version> ParseVersion(std::string_view text) {
  std::uint8_t parts[3] = {};
  std::size_t part = 0;
  unsigned value = 0;
  std::size_t digits = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '.';
    if (c >= '0' && c <= '9') {
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (++digits > 3 || value > 255) return std::nullopt;
      continue;
    }
    if (c != '.' || digits == 0 || part == 3) return std::nullopt;
    parts[part++] = static_cast<std::uint8_t>(value);
    value = 0;
    digits = 0;
  }
  if (part != 3) return std::nullopt;
  return Version{parts[0], parts[1], parts[2]};
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? kCrcPolynomial : 0u);
  }
  return crc ^ 0xFFFFFFFF;
}

std::uint32_t FirmwareChecksum(std::span<const std::uint8_t> payload) {
  const auto at = [&payload](std::size_t i) { return i < payload.size() ? payload[i] : kFill; };
  std::uint32_t acc = 0;
  for (std::size_t i = 0; i < kImageArea; i += 2) {
    acc = (acc << 1) ^ (static_cast<std::uint32_t>(at(i)) | static_cast<std::uint32_t>(at(i + 1)) << 8);
    if (acc & kChecksumTop) acc = (acc ^ kChecksumFold) & kChecksumMask;
  }
  return acc;
}

void ApplyKeystream(std::span<std::uint8_t> bytes, std::size_t address) {
  std::uint32_t s = kKeySeed;
  const auto step = [&s] {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
  };
  // The stream belongs to the address, so it runs from address 0.
  for (std::size_t i = 0; i < address; ++i) step();
  for (std::uint8_t& b : bytes) {
    step();
    b ^= static_cast<std::uint8_t>(s);
  }
}

std::vector<std::uint8_t> PlainImage(const Version& version, std::uint8_t type,
                                     std::span<const std::uint8_t> body) {
  if (body.size() > kMaxBody) return {};
  std::vector<std::uint8_t> image(kRecordSize + body.size());
  std::copy(std::begin(kMagic), std::end(kMagic), image.begin());
  image[4] = version.major;
  image[5] = version.minor;
  image[6] = version.build;
  image[7] = type;
  PutLe32(&image[8], static_cast<std::uint32_t>(body.size()));
  PutLe32(&image[12], Crc32(body));
  std::copy(body.begin(), body.end(), image.begin() + kRecordSize);
  return image;
}

std::uint32_t ImageCrc(std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> flash(payload.begin(), payload.end());
  if (const std::size_t tail = flash.size() % kBlockSize; tail != 0)
    flash.resize(flash.size() + kBlockSize - tail, kFill);
  ApplyKeystream(flash);
  return Crc32(flash);
}

std::vector<std::uint8_t> BuildContainer(const Version& version, std::uint8_t type,
                                         std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> payload = PlainImage(version, type, body);
  if (payload.empty()) return {};
  ApplyKeystream(payload);
  std::vector<std::uint8_t> container(kContainerHeaderSize);
  std::copy(std::begin(kContainerMagic), std::end(kContainerMagic), container.begin());
  container[4] = kFormatVersion;
  // The container keeps build before minor.
  container[5] = version.major;
  container[6] = version.build;
  container[7] = version.minor;
  container[8] = type;
  PutLe32(&container[9], ImageCrc(payload));
  PutLe32(&container[13], FirmwareChecksum(payload));
  container.insert(container.end(), payload.begin(), payload.end());
  return container;
}

std::vector<std::uint8_t> SyntheticBody(std::size_t size) {
  // A fixed linear congruential sequence: the same bytes on every run and platform.
  std::vector<std::uint8_t> body(size);
  std::uint32_t x = 0x2545F491;
  for (std::uint8_t& b : body) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return body;
}

}  // namespace hlx::mkfw
