#pragma once
// The simulator's own NMEA 0183 sentence rules, kept apart from the program's
// on purpose: a parsing or checksum mistake shared by both sides would never
// show up in a test. Nothing from the program's sources may be used here.
//
// A line is [TAG block] start body [*hh] CR LF, where the TAG block is
// "\...*hh\", start is '$' or '!', the body's fields are separated by commas
// (the first is the address), and hh is the XOR of every character between the
// start character (or the TAG block's opening backslash) and '*', written as
// two hexadecimal digits (sent in upper case, accepted in either case).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hlx::sim {

// XOR of every character of `text` (the characters between start and '*').
std::uint8_t XorChecksum(std::string_view text);

// Value of one hex digit (either case), or -1.
int HexValue(char c);

// Two upper-case hex digits.
std::string HexByte(std::uint8_t value);

// Wire text of a sentence: `body` is "PQVXVER,..." (a '$' is put in front) or
// already begins with '$' or '!'; the checksum and CR LF are appended. "" for "".
std::string WireSentence(std::string_view body);

// Wire text of a TAG block around `content` ("s:HLX2000-1" -> "\s:HLX2000-1*hh\").
std::string WireTagBlock(std::string_view content);

// True when a received line's checksum is absent or right; false when it is
// present but wrong or malformed. Looks only at the sentence after a TAG block.
bool ChecksumAcceptable(std::string_view line);

// Fields of a received line, the address (without start character) first and
// the checksum left out; they end at '*' or at the CR that closes the sentence.
// Empty when the line holds no '$' or '!' sentence after its TAG blocks, or
// when a NUL (which ends a line in the device's buffer) comes before its CR LF.
std::vector<std::string> SentenceFields(std::string_view line);

}  // namespace hlx::sim
