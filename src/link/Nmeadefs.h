#pragma once
// Pure operations on NMEA 0183 lines: field extraction, the multiplexer's
// proprietary sentence table, TAG blocks, checksums and option-word bits.
// Nothing here touches a port, a window or a file.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace hlx {

// Proprietary sentence ids, in table order (0 = not one of ours).
enum SentenceId : int {
  SidNone = 0,
  SidLDR = 1,
  SidVER = 2,
  SidOV = 3,
  SidSTAT = 4,
  SidCF = 5,
  SidDR = 6,
  SidID = 7,
  SidSP = 8,
  SidFL = 9,
  SidOP = 10,
  SidWI = 11,
  SidIN = 12,
};

// The multiplexer's proprietary addresses, in the order of the sentence
// table. Every generation builds its commands from these and recognises its
// replies by them.
inline constexpr std::string_view kAddressPrefix = "PQVX";
inline constexpr std::string_view kAddrLDR = "PQVXLDR";
inline constexpr std::string_view kAddrVER = "PQVXVER";
inline constexpr std::string_view kAddrOV = "PQVXOV";
inline constexpr std::string_view kAddrSTAT = "PQVXSTAT";
inline constexpr std::string_view kAddrCF = "PQVXCF";
inline constexpr std::string_view kAddrDR = "PQVXDR";
inline constexpr std::string_view kAddrID = "PQVXID";
inline constexpr std::string_view kAddrSP = "PQVXSP";
inline constexpr std::string_view kAddrFL = "PQVXFL";
inline constexpr std::string_view kAddrOP = "PQVXOP";
inline constexpr std::string_view kAddrWI = "PQVXWI";
inline constexpr std::string_view kAddrIN = "PQVXIN";
// Not in the table: the older generations' input naming and the restart order.
inline constexpr std::string_view kAddrCN = "PQVXCN";
inline constexpr std::string_view kAddrRESET = "PQVXRESET";

// The version query is the bare address; the configuration query its own text.
inline constexpr std::string_view kVersionQuery = kAddrVER;
inline constexpr std::string_view kConfigQuery = "PQVXCFQ";

inline constexpr int kFieldMissing = -1;  // fewer fields than asked for
inline constexpr int kNotASentence = -9;  // line is not a well-formed sentence
inline constexpr int kMinSentenceLength = 7;
inline constexpr std::size_t kMaxLineLength = 128;   // start character through LF
inline constexpr std::size_t kMaxSendLength = 100;   // completed sentence, CR LF included
inline constexpr std::size_t kMaxAddressLength = 8;  // the longest address field: "PQVXSTAT"

// Field `index` (0 = address) of a received line that still carries CR LF.
// Returns the field length, kFieldMissing or kNotASentence; `field` is only
// written when a field is returned. A NUL ends the line, as on the wire buffer.
int ExtractField(std::string_view line, int index, std::string& field);

// Convenience: the field text, or empty when absent or not a sentence.
std::string FieldOr(std::string_view line, int index, std::string_view fallback = {});

int LookupSentence(std::string_view address);

// Copies the leading TAG block (first char through last backslash).
bool ExtractTagBlock(std::string_view line, std::string& tagBlock);

// Source input number from the `s:` field of a TAG block (one digit), or -1.
int TagSourceInput(std::string_view tagBlock);

// Source input of a whole line: -1 when it has no TAG block or no source.
int LineSourceInput(std::string_view line);

// XOR of every character after the first (the start character or a TAG
// block's opening backslash).
std::uint8_t NmeaChecksum(std::string_view text);
// Value of one hexadecimal digit (either case), or -1.
int HexDigitValue(char c);

// A command text without start character and checksum: the address and its
// fields, comma-separated. CommandText(kAddrCF, {"C", "", "10100"}) is
// "PQVXCF,C,,10100".
std::string CommandText(std::string_view address, std::initializer_list<std::string_view> fields);

// A command text with its start character: "$" is put in front unless the
// text already begins a sentence ("$", "!") or a TAG block ("\").
std::string WithStartCharacter(std::string_view text);

// Exact characters to transmit for a command text ("" for "").
std::string CompleteSentence(std::string_view text);

void SetBit(std::uint32_t& word, int bit, bool value);
bool TestBit(std::uint32_t word, int bit);

// Option word as exactly eight uppercase hex digits.
std::string HexWord(std::uint32_t word);

}  // namespace hlx
