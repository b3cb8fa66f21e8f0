// A capture line from any received bytes: exactly one TAG block in front,
// holding one c: with the receive time and a checksum that holds, the
// sentence after it exactly as received, CR LF at the end; stamping a
// capture line again changes its time only.

#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "session/Capture.h"

using namespace hlx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first 8 bytes (when there are so many) are the time, the rest the line.
  std::int64_t unixMs = 1733666400123;
  if (size >= sizeof unixMs) {
    std::memcpy(&unixMs, data, sizeof unixMs);
    data += sizeof unixMs;
    size -= sizeof unixMs;
  }
  std::string_view line = fuzz::View(data, size);
  const std::string out = CaptureLine(line, unixMs);

  FUZZ_CHECK(out.size() >= 4 && out.front() == '\\' && out.ends_with("\r\n"));
  const std::size_t close = out.find('\\', 1);
  FUZZ_CHECK(close != std::string::npos && close >= 4 && out[close - 3] == '*');
  const std::string_view parameters = std::string_view(out).substr(1, close - 4);
  constexpr std::string_view kHex = "0123456789ABCDEF";  // upper case only
  int sum = 0;
  for (char c : parameters) sum ^= static_cast<unsigned char>(c);
  FUZZ_CHECK(out[close - 2] == kHex[sum >> 4] && out[close - 1] == kHex[sum & 0xF]);
  // One c:, the receive time, and it comes last.
  const std::string time = ",c:" + std::to_string(unixMs);
  FUZZ_CHECK(("," + std::string(parameters)).find(",c:") == parameters.size() + 1 - time.size());
  FUZZ_CHECK(("," + std::string(parameters)).ends_with(time) && parameters.find('*') == std::string::npos);

  // The sentence is the line as received: whole, or behind the TAG block it came with.
  const std::string_view sentence = std::string_view(out).substr(close + 1, out.size() - close - 3);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  FUZZ_CHECK(line.ends_with(sentence));
  const std::string_view cut = line.substr(0, line.size() - sentence.size());
  FUZZ_CHECK(cut.empty() || (cut.size() >= 2 && cut.front() == '\\' && cut.find('\\', 1) == cut.size() - 1));

  FUZZ_CHECK(CaptureLine(out, unixMs ^ 1) == CaptureLine(line, unixMs ^ 1));
  return 0;
}
