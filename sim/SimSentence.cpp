#include "SimSentence.h"

#include <algorithm>

namespace hlx::sim {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

bool IsStart(char c) { return c == '$' || c == '!'; }

// The part of a received line after its TAG blocks. '\' only ever delimits
// TAG blocks (NMEA 4.10 lets several follow one another), so that is whatever
// comes after the last one.
std::string_view AfterTagBlocks(std::string_view line) {
  const auto backslash = line.rfind('\\');
  return backslash == std::string_view::npos ? line : line.substr(backslash + 1);
}

}  // namespace

std::uint8_t XorChecksum(std::string_view text) {
  std::uint8_t sum = 0;
  for (char c : text) sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string HexByte(std::uint8_t value) { return {kDigits[value >> 4], kDigits[value & 0x0F]}; }

std::string WireSentence(std::string_view body) {
  if (body.empty()) return {};
  std::string wire;
  wire.reserve(body.size() + 6);
  if (!IsStart(body.front())) wire += '$';
  wire += body;
  wire += '*';
  wire += HexByte(XorChecksum(body.substr(IsStart(body.front()) ? 1 : 0)));
  wire += "\r\n";
  return wire;
}

std::string WireTagBlock(std::string_view content) {
  return "\\" + std::string(content) + "*" + HexByte(XorChecksum(content)) + "\\";
}

bool ChecksumAcceptable(std::string_view line) {
  std::string_view part = AfterTagBlocks(line);
  while (!part.empty() && (part.back() == '\n' || part.back() == '\r')) part.remove_suffix(1);
  const auto star = part.find('*');
  if (star == std::string_view::npos) return true;  // NMEA leaves the checksum optional
  if (part.size() != star + 3) return false;
  const int high = HexValue(part[star + 1]);
  const int low = HexValue(part[star + 2]);
  if (high < 0 || low < 0) return false;
  // Everything between the start character (position 0) and '*'.
  const std::string_view covered = star == 0 ? std::string_view() : part.substr(1, star - 1);
  return XorChecksum(covered) == high * 16 + low;
}

std::vector<std::string> SentenceFields(std::string_view line) {
  // The device keeps a line as a C string: a NUL ends it there, and unless its
  // CR LF came before the NUL what is left is no sentence.
  if (const auto nul = line.find('\0'); nul != std::string_view::npos) {
    line = line.substr(0, nul);
    if (!line.ends_with("\r\n")) return {};
  }
  std::string_view part = AfterTagBlocks(line);
  if (part.empty() || !IsStart(part.front())) return {};
  // The fields end at '*' or at the CR that closes the sentence; anything
  // else, even a stray LF, is field text.
  part = part.substr(1, std::min(part.find('*'), part.find('\r')) - 1);
  std::vector<std::string> fields;
  for (;;) {
    const auto comma = part.find(',');
    fields.emplace_back(part.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    part.remove_prefix(comma + 1);
  }
}

}  // namespace hlx::sim
