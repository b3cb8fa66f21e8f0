// Firmware containers and bootloader replies from arbitrary bytes: no
// container is accepted unless its checksum matches its image area, an
// accepted one keeps the fill beyond its image, and every block the program
// would send decodes back to itself within the frame slot.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>

#include "FuzzCheck.h"
#include "firmware/Bootloader.h"
#include "firmware/FwImage.h"
#include "link/FrameParser.h"

using namespace hlx;

namespace {

// The checksum worked out on its own terms, a second opinion on the parser's.
// One round: the state moves up a bit, takes the next 16-bit word, and folds
// back into 24 bits. Every round is affine in the state (XOR only), so a run
// of fill rounds is applied at once from the images of the 24 state bits and
// of zero: without that, summing the fill cost as much as the parsing itself.
constexpr std::uint32_t Round(std::uint32_t acc, std::uint32_t word) {
  acc = (acc << 1) ^ word;
  return acc & 0x1000000 ? (acc ^ 0x80001B) & 0xFFFFFF : acc;
}
constexpr std::size_t kAreaWords = kFwImageAreaSize / 2;
constexpr std::size_t kSkipRounds = kAreaWords - 4096;  // the fill after a payload of up to 8 KiB

struct FillSkip {
  std::array<std::uint32_t, 25> image{};  // of state bit 0..23, then of state 0
  FillSkip() {
    for (std::size_t bit = 0; bit < image.size(); ++bit) {
      std::uint32_t acc = bit < 24 ? 1u << bit : 0;
      for (std::size_t i = 0; i < kSkipRounds; ++i) acc = Round(acc, 0xFFFF);
      image[bit] = acc;
    }
    for (std::size_t bit = 0; bit < 24; ++bit) image[bit] ^= image[24];  // the linear part alone
  }
  std::uint32_t Apply(std::uint32_t acc) const {
    std::uint32_t out = image[24];
    for (std::size_t bit = 0; bit < 24; ++bit)
      if (acc >> bit & 1) out ^= image[bit];
    return out;
  }
};

std::uint32_t AreaChecksum(std::span<const std::uint8_t> payload) {
  static const FillSkip skip;
  const auto byte = [&](std::size_t i) -> std::uint32_t { return i < payload.size() ? payload[i] : 0xFF; };
  std::uint32_t acc = 0;
  std::size_t word = 0;
  const std::size_t direct =
      payload.size() <= 2 * (kAreaWords - kSkipRounds) ? kAreaWords - kSkipRounds : kAreaWords;
  for (; word < direct; ++word) acc = Round(acc, byte(2 * word) | byte(2 * word + 1) << 8);
  return word == kAreaWords ? acc : skip.Apply(acc);
}

bool AllFill(std::span<const std::uint8_t> bytes) {
  static const std::vector<std::uint8_t> fill(kFwImageAreaSize, kFwFillByte);
  return bytes.size() <= fill.size() && std::memcmp(bytes.data(), fill.data(), bytes.size()) == 0;
}

// `knownSum`: the checksum of the area as the harness computed it, when it did.
void CheckAccepted(const FirmwareImage& image, bool builtIn, std::optional<std::uint32_t> knownSum) {
  FUZZ_CHECK(image.area.size() == kFwImageAreaSize);
  FUZZ_CHECK(image.payloadLength > 0 && image.payloadLength <= kFwImageAreaSize);
  FUZZ_CHECK((knownSum ? *knownSum : FirmwareChecksum(image.area)) == image.StoredChecksum());
  FUZZ_CHECK(AllFill(std::span(image.area).subspan(image.payloadLength)));
  if (!builtIn)
    FUZZ_CHECK(image.header[0] == 'H' && image.header[3] == 0 && image.header[kFwFormatOffset] == 0);
}

// Every block goes out as a frame the bootloader's parser reads back unchanged.
void CheckBlocks(const FirmwareImage& image, std::uint32_t pick) {
  const std::uint32_t blocks = BlockCount(image.payloadLength);
  FUZZ_CHECK(blocks >= 1 && blocks <= kFwImageAreaSize / kFwBlockSize);
  for (std::uint32_t i : {0u, blocks - 1, pick % blocks}) {
    const LoaderFrameRecord frame = BlockFrame(image, i);
    FUZZ_CHECK(frame.length == 3 + kFwBlockSize);
    FUZZ_CHECK(std::equal(frame.data.begin() + 3, frame.data.begin() + 3 + kFwBlockSize,
                          image.area.begin() + std::ptrdiff_t(i * kFwBlockSize)));
    const std::string wire = EncodeFrame(frame);
    FUZZ_CHECK(wire.size() <= 2 + 2 * frame.length);
    FrameParser parser;
    parser.Feed(reinterpret_cast<const std::uint8_t*>(wire.data()), wire.size());
    FUZZ_CHECK(parser.complete());
    LoaderFrameRecord back;
    parser.Take(back);
    FUZZ_CHECK(back.length == frame.length && back.data == frame.data);
  }
}

void CheckReply(const FirmwareImage& image, std::string_view bytes) {
  FrameParser parser;
  parser.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  if (!parser.complete()) return;
  LoaderFrameRecord reply;
  parser.Take(reply);
  FUZZ_CHECK(reply.length <= kFrameSlotSize);
  FUZZ_CHECK(!(IsAck(reply) && IsCrcReply(reply)));
  if (!IsCrcReply(reply)) return;
  const std::uint32_t crc = image.ImageCrc();
  bool same = true;
  for (int i = 0; i < 4; ++i) same = same && reply.data[1 + i] == ((crc >> (8 * i)) & 0xFF);
  const QString error = CheckCrcReply(image, reply);
  FUZZ_CHECK(error.isEmpty() == same);
  FUZZ_CHECK(same || error.startsWith(QStringLiteral("Bootloader: CRC error\rFile CRC: ")));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool builtIn = in.ConsumeBool();
  // Half the inputs get the right checksum, so the checks behind it are reached too.
  const bool fixChecksum = in.ConsumeBool();
  const std::uint32_t pick = in.ConsumeIntegral<std::uint32_t>();
  const std::string reply = in.ConsumeRandomLengthString(64);
  std::vector<std::uint8_t> container = in.ConsumeRemainingBytes<std::uint8_t>();
  // The image's 256 KiB area lives across inputs instead of being allocated for each.
  static FirmwareImage image;
  std::optional<std::uint32_t> knownSum;
  if (fixChecksum && container.size() >= kFwHeaderSize) {
    const std::span<const std::uint8_t> payload(container.data() + kFwHeaderSize,
                                                std::min(container.size() - kFwHeaderSize, kFwImageAreaSize));
    knownSum = AreaChecksum(payload);
    for (int i = 0; i < 4; ++i)
      container[kFwChecksumOffset + std::size_t(i)] = std::uint8_t(*knownSum >> (8 * i));
  }

  try {
    ParseFirmware(container, builtIn, image);
  } catch (const EFirmwareError& e) {
    FUZZ_CHECK(!e.Message().isEmpty());
    // The second opinion agrees with the parser on every checksum it worked out.
    FUZZ_CHECK(!knownSum || builtIn || e.Message() != QStringLiteral("Firmware file is corrupt"));
    return 0;
  }
  CheckAccepted(image, builtIn, knownSum);
  CheckBlocks(image, pick);
  CheckReply(image, reply);
  return 0;
}
