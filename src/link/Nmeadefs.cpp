#include "link/Nmeadefs.h"

#include <array>
#include <cstdio>

namespace hlx {

namespace {

constexpr std::array<std::string_view, 12> kSentenceTable = {
    kAddrLDR, kAddrVER, kAddrOV, kAddrSTAT, kAddrCF, kAddrDR,
    kAddrID,  kAddrSP,  kAddrFL, kAddrOP,   kAddrWI, kAddrIN,
};

constexpr bool TableFits() {
  for (const std::string_view address : kSentenceTable)
    if (address.size() > kMaxAddressLength) return false;
  return true;
}
static_assert(TableFits(), "an address of the sentence table is longer than kMaxAddressLength");

std::string_view UpToNul(std::string_view s) {
  const auto nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool IsFieldEnd(char c) { return c == '\r' || c == '*' || c == ','; }

}  // namespace

int ExtractField(std::string_view line, int index, std::string& field) {
  line = UpToNul(line);
  const auto lastBackslash = line.rfind('\\');
  std::string_view s = lastBackslash == std::string_view::npos ? line : line.substr(lastBackslash + 1);
  if (s.size() < kMinSentenceLength || (s.front() != '$' && s.front() != '!') || s.back() != '\n' ||
      s[s.size() - 2] != '\r')
    return kNotASentence;
  if (index < 0) return kFieldMissing;

  std::size_t pos = 1;
  for (int i = 0; i < index; ++i) {
    while (pos < s.size() && !IsFieldEnd(s[pos])) ++pos;
    // The line ends in CR, so the scan always stops on a delimiter.
    if (pos >= s.size() || s[pos] != ',') return kFieldMissing;
    ++pos;
  }
  std::size_t end = pos;
  while (end < s.size() && !IsFieldEnd(s[end])) ++end;
  field.assign(s.substr(pos, end - pos));
  return static_cast<int>(end - pos);
}

std::string FieldOr(std::string_view line, int index, std::string_view fallback) {
  std::string f;
  if (ExtractField(line, index, f) < 0) return std::string(fallback);
  return f;
}

int LookupSentence(std::string_view address) {
  for (std::size_t i = 0; i < kSentenceTable.size(); ++i)
    if (kSentenceTable[i] == address) return static_cast<int>(i) + 1;
  return SidNone;
}

bool ExtractTagBlock(std::string_view line, std::string& tagBlock) {
  line = UpToNul(line);
  if (line.empty() || line.front() != '\\') return false;
  const auto last = line.rfind('\\');
  tagBlock.assign(line.substr(0, last + 1));
  return true;
}

int TagSourceInput(std::string_view tagBlock) {
  tagBlock = UpToNul(tagBlock);
  const auto s = tagBlock.find("s:");
  if (s == std::string_view::npos) return -1;
  for (std::size_t i = s; i < tagBlock.size(); ++i) {
    const char c = tagBlock[i];
    if (c == '*' || c == ',') return -1;
    if (c == '-') {
      if (i + 1 >= tagBlock.size()) return -1;
      const char d = tagBlock[i + 1];
      return (d >= '0' && d <= '9') ? d - '0' : -1;
    }
  }
  return -1;
}

int LineSourceInput(std::string_view line) {
  std::string tag;
  return ExtractTagBlock(line, tag) ? TagSourceInput(tag) : -1;
}

std::uint8_t NmeaChecksum(std::string_view text) {
  std::uint8_t sum = 0;
  for (std::size_t i = 1; i < text.size(); ++i) sum ^= static_cast<std::uint8_t>(text[i]);
  return sum;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string CommandText(std::string_view address, std::initializer_list<std::string_view> fields) {
  std::string text(address);
  for (const std::string_view field : fields) (text += ',') += field;
  return text;
}

std::string WithStartCharacter(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 6);
  if (!text.empty() && text.front() != '!' && text.front() != '$' && text.front() != '\\') out.push_back('$');
  out.append(text);
  return out;
}

std::string CompleteSentence(std::string_view text) {
  if (text.empty()) return {};
  std::string out = WithStartCharacter(text);
  if (out.find('*') == std::string::npos) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "*%02X", NmeaChecksum(out));
    out.append(hex);
  }
  out.append("\r\n");
  return out;
}

void SetBit(std::uint32_t& word, int bit, bool value) {
  const std::uint32_t mask = 1u << (static_cast<unsigned>(bit) & 31u);
  word = value ? (word | mask) : (word & ~mask);
}

bool TestBit(std::uint32_t word, int bit) { return (word >> (static_cast<unsigned>(bit) & 31u)) & 1u; }

std::string HexWord(std::uint32_t word) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", word);
  return buf;
}

}  // namespace hlx
