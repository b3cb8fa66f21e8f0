// Bootloader frames on arbitrary bytes: a taken frame holds 1 to
// kFrameSlotSize bytes, one byte per read gives the same frame as one read,
// a taken frame encodes and parses back unchanged, and once the parser waits
// for or collects a frame, an encoded frame arrives whole however it is cut.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "link/FrameParser.h"

using namespace hlx;

namespace {

void Feed(FrameParser& parser, std::string_view bytes) {
  parser.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

bool SameFrame(const LoaderFrameRecord& a, const LoaderFrameRecord& b) {
  return a.length == b.length && std::memcmp(a.data.data(), b.data.data(), a.length) == 0;
}

LoaderFrameRecord Take(FrameParser& parser) {
  FUZZ_CHECK(parser.complete());
  LoaderFrameRecord frame;
  parser.Take(frame);
  FUZZ_CHECK(parser.state() == FrameParser::Idle);
  FUZZ_CHECK(frame.length >= 1 && frame.length <= kFrameSlotSize);
  return frame;
}

void CheckReencodes(const LoaderFrameRecord& frame) {
  FrameParser again;
  Feed(again, EncodeFrame(frame));
  FUZZ_CHECK(SameFrame(Take(again), frame));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string noise = in.ConsumeRandomLengthString(3 * kFrameSlotSize);
  const std::string payload = in.ConsumeRemainingBytesAsString();

  // The same bytes in one read and one byte per read.
  FrameParser whole, byteWise;
  Feed(whole, noise);
  for (char c : noise) byteWise.Feed(static_cast<std::uint8_t>(c));
  FUZZ_CHECK(whole.state() == byteWise.state());
  if (whole.complete()) {
    const LoaderFrameRecord frame = Take(whole);
    FUZZ_CHECK(SameFrame(Take(byteWise), frame));
    CheckReencodes(frame);
  }

  // Every frame the noise holds, taken as soon as it is complete.
  FrameParser taking;
  for (char c : noise) {
    taking.Feed(static_cast<std::uint8_t>(c));
    if (taking.complete()) CheckReencodes(Take(taking));
  }

  // A start byte begins a frame afresh unless it is escaped.
  const FrameParser::State left = taking.state();
  if (left != FrameParser::Idle && left != FrameParser::Collecting) return 0;
  LoaderFrameRecord sent;
  sent.length = static_cast<std::uint16_t>(std::min<std::size_t>(payload.size(), 0xFFFF));
  std::copy_n(payload.begin(), std::min(payload.size(), kFrameSlotSize), sent.data.begin());
  const std::string wire = EncodeFrame(sent);
  FUZZ_CHECK(wire.size() <= 2 * kFrameSlotSize + 2);
  hlx::fuzz::Cuts cuts(wire, 64);
  for (std::size_t pos = 0; pos < wire.size();) {
    const std::size_t n = std::min(cuts.Next(), wire.size() - pos);
    Feed(taking, std::string_view(wire).substr(pos, n));
    pos += n;
  }
  if (sent.length == 0) {
    FUZZ_CHECK(taking.state() == FrameParser::Idle);  // an empty frame carries nothing
    return 0;
  }
  sent.length = static_cast<std::uint16_t>(std::min<std::size_t>(sent.length, kFrameSlotSize));
  FUZZ_CHECK(SameFrame(Take(taking), sent));
  return 0;
}
