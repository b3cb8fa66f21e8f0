// Firmware containers and bootloader replies from arbitrary bytes: no
// container is accepted unless its checksum matches its image area, an
// accepted one keeps the fill beyond its image, and every block the program
// would send decodes back to itself within the frame slot.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <optional>
#include <span>

#include "FuzzCheck.h"
#include "firmware/Bootloader.h"
#include "firmware/FwImage.h"
#include "link/FrameParser.h"

using namespace hlx;

namespace {

// The checksum of the image area that `payload` fills (0xFF beyond), worked
// out on its own terms: a second opinion, and without coverage tracing, which
// made the 128 Ki rounds per input the slowest part of the run.
__attribute__((noinline, no_sanitize("coverage"))) std::uint32_t AreaChecksum(
    std::span<const std::uint8_t> payload) {
  std::uint32_t acc = 0;
  for (std::size_t i = 0; i < kFwImageAreaSize; i += 2) {
    const std::uint32_t low = i < payload.size() ? payload[i] : 0xFF;
    const std::uint32_t high = i + 1 < payload.size() ? payload[i + 1] : 0xFF;
    acc = (acc << 1) ^ (low | high << 8);
    if (acc & 0x1000000) acc = (acc ^ 0x80001B) & 0xFFFFFF;
  }
  return acc;
}

__attribute__((noinline, no_sanitize("coverage"))) bool AllFill(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes)
    if (b != kFwFillByte) return false;
  return true;
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
    return 0;
  }
  CheckAccepted(image, builtIn, knownSum);
  CheckBlocks(image, pick);
  CheckReply(image, reply);
  return 0;
}
