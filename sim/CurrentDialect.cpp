#include "CurrentDialect.h"

#include <cctype>

#include "SimDevice.h"
#include "SimSentence.h"

namespace hlx::sim {

namespace {

constexpr int kSpeedIndexLimit[5] = {4, 4, 4, 4, 5};  // In1..In4/Out1 up to 57600, Out2 up to 115200
constexpr int kModeLimit[kInputs] = {5, 5, 5, 6};     // In4 also reads SeaTalk
constexpr int kModeSeaTalk = 6;
constexpr int kPriorityTimeoutLimit = 5;
constexpr int kHostDataLimit = 2;
constexpr char kDeleteList[] = "DELETE";
constexpr char kFactoryResetArg[] = "1";

struct Fields {
  std::vector<std::string> values;  // index 0 is the address
  const std::string* At(std::size_t i) const { return i < values.size() ? &values[i] : nullptr; }
};

// Option word as the device writes it: eight upper-case hex digits.
std::string WordText(std::uint32_t word) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += HexByte(static_cast<std::uint8_t>(word >> shift));
  return text;
}

// A single digit within 0..limit, or -1.
int Digit(const std::string* field, int limit) {
  if (!field || field->size() != 1 || !std::isdigit(static_cast<unsigned char>((*field)[0]))) return -1;
  const int v = (*field)[0] - '0';
  return v <= limit ? v : -1;
}

template <std::size_t N>
void ApplyFlags(const std::string* field, std::array<bool, N>& flags) {
  if (!field) return;
  for (std::size_t i = 0; i < N && i < field->size(); ++i) flags[i] = (*field)[i] != '0';
}

template <std::size_t N>
std::string FlagText(const std::array<bool, N>& flags) {
  std::string s;
  for (bool f : flags) s += f ? '1' : '0';
  return s;
}

std::string Digit(int v) { return std::string(1, static_cast<char>('0' + v)); }

std::string NormalisedFlags(const std::string* field, std::size_t count) {
  std::string s(count, '0');
  if (field)
    for (std::size_t i = 0; i < count && i < field->size(); ++i) s[i] = (*field)[i] == '1' ? '1' : '0';
  return s;
}

bool IsDivValue(const std::string& div) {
  if (div.size() > 2) return false;
  for (char c : div)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

void HandleCf(const Fields& f, SimConfig& c) {
  if (const int host = Digit(f.At(2), kHostSpeedCount - 1); host >= 0) c.hostSpeed = host;
  ApplyFlags(f.At(3), c.realTime);
  if (const int t = Digit(f.At(4), kPriorityTimeoutLimit); t >= 0) c.priorityTimeout = t;
}

void HandleDr(const Fields& f, SimConfig& c) {
  ApplyFlags(f.At(2), c.routeOut1);
  if (const int v = Digit(f.At(3), kHostDataLimit); v >= 0) c.hostDataOut1 = v;
  ApplyFlags(f.At(4), c.routeOut2);
  if (const int v = Digit(f.At(5), kHostDataLimit); v >= 0) c.hostDataOut2 = v;
}

void HandleId(const Fields& f, SimConfig& c) {
  for (std::size_t i = 0; i < kChannels; ++i) {
    const std::string* id = f.At(i + 2);
    if (!id) break;
    std::string text = id->substr(0, 2);
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    c.talkerId[i] = text;
  }
}

void HandleSp(const Fields& f, SimConfig& c) {
  for (std::size_t i = 0; i < c.speed.size(); ++i)
    if (const int v = Digit(f.At(i + 2), kSpeedIndexLimit[i]); v >= 0) c.speed[i] = v;
  if (c.inputMode[3] == kModeSeaTalk) c.speed[3] = 0;  // SeaTalk runs at 4800 only
}

void HandleIn(const Fields& f, SimConfig& c) {
  for (std::size_t i = 0; i < kInputs; ++i)
    if (const int v = Digit(f.At(i + 2), kModeLimit[i]); v >= 0) c.inputMode[i] = v;
  if (c.inputMode[3] == kModeSeaTalk) c.speed[3] = 0;
}

// "C,<bit>,<0|1>" changes one bit; "C,<eight hex digits>" replaces the word.
void HandleOp(const Fields& f, SimConfig& c) {
  const std::string* a = f.At(2);
  if (!a || a->empty()) return;
  if (const std::string* value = f.At(3)) {
    if (a->size() > 2 || (*value != "0" && *value != "1")) return;
    for (char ch : *a)
      if (!std::isdigit(static_cast<unsigned char>(ch))) return;
    const int bit = std::stoi(*a);
    if (bit > 31) return;
    SetOptionBit(c.options, bit, *value == "1");
    return;
  }
  if (a->size() != 8) return;
  for (char ch : *a)
    if (!std::isxdigit(static_cast<unsigned char>(ch))) return;
  c.options = static_cast<std::uint32_t>(std::stoul(*a, nullptr, 16));
}

void HandleFl(const Fields& f, SimConfig& c) {
  const std::string* name = f.At(2);
  if (!name) return;
  if (*name == kDeleteList) {
    c.filter.clear();
    return;
  }
  if (name->size() != kFilterNameLength || c.filter.size() >= kMaxFilterRules) return;
  FilterRule rule;
  for (char ch : *name) rule.name += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  rule.sources = NormalisedFlags(f.At(3), 6);
  rule.div = f.At(4) && IsDivValue(*f.At(4)) ? *f.At(4) : std::string();
  rule.outputs = NormalisedFlags(f.At(5), 4);
  c.filter.push_back(rule);
}

}  // namespace

std::string VerReply(const SimDevice& device) {
  const SimSettings& s = device.Settings();
  std::string text = "PQVXVER," + s.firmware + "," + s.name + "," + s.serial;
  if (s.faults.verGarbage)
    text += ",ZQ#X";
  else if (!s.faults.noCaps)
    text += "," + s.caps;
  return WireSentence(text);
}

std::string CfReply(const SimConfig& c) {
  return WireSentence("PQVXCF,R," + Digit(c.hostSpeed) + "," + FlagText(c.realTime) + "," +
                      Digit(c.priorityTimeout));
}

std::string DrReply(const SimConfig& c) {
  return WireSentence("PQVXDR,R," + FlagText(c.routeOut1) + "," + Digit(c.hostDataOut1) + "," +
                      FlagText(c.routeOut2) + "," + Digit(c.hostDataOut2));
}

std::string IdReply(const SimConfig& c) {
  std::string text = "PQVXID,R";
  for (const std::string& id : c.talkerId) text += "," + id;
  return WireSentence(text);
}

std::string SpReply(const SimConfig& c) {
  std::string text = "PQVXSP,R";
  for (int v : c.speed) text += "," + Digit(v);
  return WireSentence(text);
}

std::string OpReply(const SimConfig& c) { return WireSentence("PQVXOP,R," + WordText(c.options)); }

std::string InReply(const SimConfig& c) {
  std::string text = "PQVXIN,R";
  for (int v : c.inputMode) text += "," + Digit(v);
  return WireSentence(text);
}

std::vector<std::string> FilterReplies(const SimConfig& c, bool withEnd) {
  std::vector<std::string> lines;
  for (const FilterRule& r : c.filter)
    lines.push_back(WireSentence("PQVXFL,R," + r.name + "," + r.sources + "," + r.div + "," + r.outputs));
  if (withEnd) lines.push_back(WireSentence("PQVXFL,R,"));
  return lines;
}

bool CurrentDialect::TagBlocksOn(const SimDevice& device) const {
  return OptionBit(device.Config().options, kOptionTagBlocks);
}

// A restarted firmware reports itself, so a host waiting after an update learns the new version.
std::vector<std::string> CurrentDialect::StartUpLines(const SimDevice& device) const {
  return {VerReply(device)};
}

void CurrentDialect::HandleSentence(const std::string& line, SimDevice& device,
                                    std::vector<std::string>& replies) {
  const Fields f{SentenceFields(line)};
  if (f.values.empty()) return;
  const std::string& address = f.values[0];
  SimConfig& c = device.Config();
  const bool command = f.At(1) && *f.At(1) == "C";
  const bool answer = !device.Settings().faults.quietCommands;
  const bool ignored = address == device.Settings().faults.ignoredCommand;

  if (address == "PQVXVER") {
    if (!f.At(1) || *f.At(1) != "R") replies.push_back(VerReply(device));
  } else if (address == "PQVXCFQ") {
    for (auto* reply : {&CfReply, &DrReply, &IdReply, &SpReply, &OpReply, &InReply})
      replies.push_back(reply(c));
    for (std::string& fl : FilterReplies(c, !device.Settings().faults.noListEnd))
      replies.push_back(std::move(fl));
  } else if (address == "PQVXSTAT") {
    if (const int on = Digit(f.At(1), 1); on >= 0) device.SetStatisticsOn(on == 1);
  } else if (address == "PQVXRESET") {
    if (!f.At(1))
      device.RequestLoader();
    else if (*f.At(1) == kFactoryResetArg)
      device.FactoryReset();
  } else if (command) {
    if (address == "PQVXFL") {
      if (!ignored) HandleFl(f, c);  // the list is confirmed by a query, not per rule
      return;
    }
    static const struct {
      const char* address;
      void (*apply)(const Fields&, SimConfig&);
      std::string (*reply)(const SimConfig&);
    } kGroups[] = {{"PQVXCF", &HandleCf, &CfReply}, {"PQVXDR", &HandleDr, &DrReply},
                   {"PQVXID", &HandleId, &IdReply}, {"PQVXSP", &HandleSp, &SpReply},
                   {"PQVXIN", &HandleIn, &InReply}, {"PQVXOP", &HandleOp, &OpReply}};
    for (const auto& group : kGroups) {
      if (address != group.address) continue;
      if (!ignored) group.apply(f, c);
      if (answer) replies.push_back(group.reply(c));
      return;
    }
  }
}

}  // namespace hlx::sim
