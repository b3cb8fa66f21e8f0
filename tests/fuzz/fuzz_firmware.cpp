// Firmware containers and bootloader replies from arbitrary bytes: no
// container is accepted unless its checksum matches its image area, an
// accepted one keeps the fill beyond its image, and every block the program
// would send decodes back to itself within the frame slot.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <optional>

#include "FuzzCheck.h"
#include "firmware/Bootloader.h"
#include "firmware/FwImage.h"
#include "link/FrameParser.h"

using namespace hlx;

namespace {

// `knownSum`: the checksum of the area as the harness computed it, when it did.
void CheckAccepted(const FirmwareImage& image, bool builtIn, std::optional<std::uint32_t> knownSum) {
  FUZZ_CHECK(image.area.size() == kFwImageAreaSize);
  FUZZ_CHECK(image.payloadLength > 0 && image.payloadLength <= kFwImageAreaSize);
  FUZZ_CHECK(knownSum.value_or(FirmwareChecksum(image.area)) == image.StoredChecksum());
  FUZZ_CHECK(std::all_of(image.area.begin() + image.payloadLength, image.area.end(),
                         [](std::uint8_t b) { return b == kFwFillByte; }));
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
  // The 256 KiB buffers live across inputs: a fresh allocation of that size
  // per input, with the sanitizer's quarantine, cost more than the parsing.
  static std::vector<std::uint8_t> area;
  static FirmwareImage image;
  std::optional<std::uint32_t> knownSum;
  if (fixChecksum && container.size() >= kFwHeaderSize) {
    area.assign(kFwImageAreaSize, kFwFillByte);
    std::copy_n(container.begin() + kFwHeaderSize, std::min(container.size() - kFwHeaderSize, area.size()),
                area.begin());
    knownSum = FirmwareChecksum(area);
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
