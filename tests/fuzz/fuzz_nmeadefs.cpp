// The sentence primitives on an arbitrary line: ExtractField either refuses
// the line for every index or gives fields without delimiters that join back
// into the sentence text; TAG block and source input agree with each other;
// CompleteSentence adds a checksum that matches the fields a receiver reads.

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using hlx::fuzz::IsLineStart;

namespace {

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

// The fields of a received line joined by commas, or nullopt when it is not
// a sentence. Checks every field on the way.
std::optional<std::string> JoinedFields(std::string_view line) {
  std::string field = "untouched";
  if (ExtractField(line, -1, field) == kNotASentence) {
    for (int i = 0; i < 3; ++i) FUZZ_CHECK(ExtractField(line, i, field) == kNotASentence);
    FUZZ_CHECK(field == "untouched" && FieldOr(line, 0, "-") == "-");
    return std::nullopt;
  }
  std::string joined;
  int index = 0;
  for (;; ++index) {
    const int length = ExtractField(line, index, field);
    if (length == kFieldMissing) break;
    FUZZ_CHECK(length == static_cast<int>(field.size()));
    FUZZ_CHECK(field.find_first_of(",*\r") == std::string::npos);
    FUZZ_CHECK(FieldOr(line, index, "-") == field);
    if (index > 0) joined += ',';
    joined += field;
  }
  FUZZ_CHECK(index >= 1);  // the address is always there
  FUZZ_CHECK(ExtractField(line, index + 1, field) == kFieldMissing);
  return joined;
}

void CheckFields(std::string_view line) {
  const auto joined = JoinedFields(line);
  std::string_view s = UpToNul(line);
  s = s.substr(s.rfind('\\') + 1);  // the sentence after a TAG block
  const bool sentence =
      s.size() >= std::size_t(kMinSentenceLength) && (s[0] == '$' || s[0] == '!') && s.ends_with("\r\n");
  FUZZ_CHECK(joined.has_value() == sentence);
  if (!sentence) return;
  // The fields are the text between the start character and the first star or CR.
  FUZZ_CHECK(*joined == s.substr(1, s.find_first_of("*\r", 1) - 1));
  const std::string address = FieldOr(line, 0);
  const int id = LookupSentence(address);
  FUZZ_CHECK(id >= SidNone && id <= SidIN);
  FUZZ_CHECK(id == SidNone || (address.starts_with("PQVX") && address.size() <= 8));
}

void CheckTagBlock(std::string_view line) {
  const std::string_view text = UpToNul(line);
  std::string tag = "untouched";
  const bool has = ExtractTagBlock(line, tag);
  FUZZ_CHECK(has == text.starts_with('\\'));
  if (has) {
    FUZZ_CHECK(tag.ends_with('\\') && text.starts_with(tag));
    FUZZ_CHECK(text.find('\\', tag.size()) == std::string_view::npos);
  } else {
    FUZZ_CHECK(tag == "untouched");
  }
  const int source = TagSourceInput(line);
  FUZZ_CHECK(source >= -1 && source <= 9);
  FUZZ_CHECK(source == -1 || text.find("s:") != std::string_view::npos);
  FUZZ_CHECK(LineSourceInput(line) == (has ? TagSourceInput(tag) : -1));
}

void CheckCompleteSentence(std::string_view text) {
  const std::string out = CompleteSentence(text);
  if (text.empty()) {
    FUZZ_CHECK(out.empty());
    return;
  }
  const std::size_t start = IsLineStart(text.front()) ? 0 : 1;
  FUZZ_CHECK(IsLineStart(out.front()) && out.ends_with("\r\n"));
  FUZZ_CHECK(std::string_view(out).substr(start, text.size()) == text);
  if (text.find('*') != std::string_view::npos) {
    FUZZ_CHECK(out.size() == start + text.size() + 2);  // a given checksum is kept as it is
    return;
  }
  const std::size_t star = out.size() - 5;
  FUZZ_CHECK(out.size() == start + text.size() + 5 && out[star] == '*');
  unsigned sum = 256;
  const char* hex = out.data() + star + 1;
  const auto upperHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  FUZZ_CHECK(std::all_of(hex, hex + 2, upperHex) && std::from_chars(hex, hex + 2, sum, 16).ptr == hex + 2);
  std::uint8_t xorred = 0;
  for (std::size_t i = 1; i < star; ++i) xorred ^= static_cast<std::uint8_t>(out[i]);
  FUZZ_CHECK(sum == xorred && sum == NmeaChecksum(std::string_view(out).substr(0, star)));
  // A receiver reads the same fields back when nothing in the text moves the
  // sentence start (a TAG block, a NUL) or its end (a CR).
  if (out.front() == '\\' || text.find_first_of(std::string_view("\\\r\0", 3)) != std::string_view::npos)
    return;
  if (out.size() < std::size_t(kMinSentenceLength)) return;
  const auto joined = JoinedFields(out);
  FUZZ_CHECK(joined && *joined == std::string_view(out).substr(1, star - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line = hlx::fuzz::View(data, size);
  CheckFields(line);
  CheckTagBlock(line);
  CheckCompleteSentence(line);
  return 0;
}
