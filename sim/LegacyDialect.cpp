#include "LegacyDialect.h"

#include <algorithm>
#include <cctype>

#include "CurrentDialect.h"
#include "SimDevice.h"
#include "SimSentence.h"

namespace hlx::sim {

namespace {

using S = LegacySlot;

constexpr LegacyGenerationTable kTables[] = {
    {.generation = 1,
     .cf = {S::None, S::None, S::None, S::Priority, S::ChannelNumbers, S::ChannelIds, S::RealTime,
            S::HdgToHdt},
     .nameLength = 3,
     .divisor = LegacyDivisor::Never,
     .channelNumberLines = false,
     .channelIdsFromFactory = true,
     .firmware = "2.01",
     .serial = "40261206"},
    {.generation = 2,
     .cf = {S::None, S::None, S::None, S::SeaTalk, S::Priority, S::ChannelNumbers, S::ChannelIds, S::RealTime,
            S::HdgToHdt},
     .divisor = LegacyDivisor::WithCaps,
     .aisMode = true,
     .firmware = "2.08",
     .caps = "0038",
     .serial = "20261206"},
    {.generation = 3,
     .cf = {S::None, S::None, S::None, S::SeaTalk, S::Priority, S::ChannelNumbers, S::RealTime, S::HdgToHdt},
     .aisMode = true,
     .firmware = "2.09",
     .caps = "8000",
     .serial = "20261206"},
    {.generation = 4,
     .cf = {S::None, S::None, S::None, S::SeaTalk, S::Priority, S::ChannelNumbers, S::RealTime, S::HdgToHdt,
            S::AisOnIn1},
     .portSpeeds = true,
     .firmware = "2.12.0",
     .caps = "8000",  // bit 15: served by this program; host port kind 0: serial
     .serial = "20261206"},
};

constexpr int kSpeedLimit = 3;  // 4800 .. 38400 on every port, the host port too
constexpr int kModeLimit = 2;   // server, hub, automatic
constexpr int kModeLimitAis = 3;
constexpr std::size_t kInputsOld = 4;
constexpr std::size_t kFlags = 5;  // PC, In1..In4
constexpr std::size_t kTalkerIdLength = 2;
constexpr std::size_t kFormatterLength = 3;
constexpr char kAllOutputs[] = "1111";  // these generations' rules filter by source only
constexpr unsigned kCapsAisMode = 0x0080;
constexpr unsigned kCapsDivisor = 0x0020;

using Fields = std::vector<std::string>;

const std::string* At(const Fields& f, std::size_t i) { return i < f.size() ? &f[i] : nullptr; }

int Digit(const std::string* field, int limit) {
  if (!field || field->empty() || !std::isdigit(static_cast<unsigned char>((*field)[0]))) return -1;
  const int v = (*field)[0] - '0';
  return v <= limit ? v : -1;
}

// "1" or "0" as the first character; anything else leaves the setting alone.
void ApplyBool(const std::string* field, bool& value) {
  if (field && !field->empty() && ((*field)[0] == '0' || (*field)[0] == '1')) value = (*field)[0] == '1';
}

char Bit(bool b) { return b ? '1' : '0'; }
std::string Num(int v) { return std::string(1, static_cast<char>('0' + v)); }

unsigned CapsWord(const SimDevice& device) {
  try {
    return static_cast<unsigned>(std::stoul(device.Settings().caps, nullptr, 16));
  } catch (const std::exception&) {
    return 0;
  }
}

template <class Options>
auto Flag(Options& o, LegacySlot s) -> decltype(&o.seaTalk) {
  switch (s) {
    case S::SeaTalk: return &o.seaTalk;
    case S::Priority: return &o.priority;
    case S::ChannelNumbers: return &o.channelNumbers;
    case S::ChannelIds: return &o.channelIds;
    case S::HdgToHdt: return &o.hdgToHdt;
    case S::AisOnIn1: return &o.aisOnIn1;
    default: return nullptr;
  }
}

void HandleSp(const Fields& f, SimConfig& c) {
  for (std::size_t i = 0; i < c.speed.size(); ++i)
    if (const int v = Digit(At(f, i + 1), kSpeedLimit); v >= 0) c.speed[i] = v;
}

void HandleId(const Fields& f, SimConfig& c) {
  for (std::size_t i = 0; i < kInputsOld; ++i) {
    const std::string* id = At(f, i + 1);
    if (!id) break;
    std::string text;
    for (char ch : id->substr(0, kTalkerIdLength))
      if (std::isalnum(static_cast<unsigned char>(ch))) text += static_cast<char>(std::toupper(ch));
    c.talkerId[i] = text;
  }
}

std::string OldSpReply(const SimConfig& c) {
  std::string text = "PQVXSP";
  for (int v : c.speed) text += "," + Num(v);
  return WireSentence(text);
}

std::string OldIdReply(const SimConfig& c) {
  std::string text = "PQVXID";
  for (std::size_t i = 0; i < kInputsOld; ++i) text += "," + c.talkerId[i];
  return WireSentence(text);
}

}  // namespace

const LegacyGenerationTable* LegacyTable(int generation) {
  for (const LegacyGenerationTable& t : kTables)
    if (t.generation == generation) return &t;
  return nullptr;
}

bool LegacyDialect::Divisors(const SimDevice& device) const {
  switch (m_table.divisor) {
    case LegacyDivisor::Never: return false;
    case LegacyDivisor::WithCaps: return (CapsWord(device) & kCapsDivisor) != 0;
    case LegacyDivisor::Always: break;
  }
  return true;
}

void LegacyDialect::HandleCf(const Fields& f, const SimDevice& device, SimConfig& c) const {
  if (const int v = Digit(At(f, 1), kSpeedLimit); v >= 0) c.hostSpeed = v;
  const bool ais = m_table.aisMode && (CapsWord(device) & kCapsAisMode) != 0;
  if (const int v = Digit(At(f, 2), ais ? kModeLimitAis : kModeLimit); v >= 0) c.legacy.mode = v;
  for (std::size_t i = 3; i < kLegacyCfFields; ++i) {
    if (m_table.cf[i] == S::RealTime) {
      if (const std::string* rt = At(f, i))
        for (std::size_t k = 0; k < kInputsOld && k < rt->size(); ++k)
          if ((*rt)[k] == '0' || (*rt)[k] == '1') c.realTime[k] = (*rt)[k] == '1';
    } else if (bool* flag = Flag(c.legacy, m_table.cf[i])) {
      ApplyBool(At(f, i), *flag);
    }
  }
}

// The list keeps five-character names; a three-character formatter matches any talker.
void LegacyDialect::HandleFl(const Fields& f, SimConfig& c) const {
  const std::string* name = At(f, 1);
  if (!name) {
    c.filter.clear();  // "PQVXFL" alone empties the list
    return;
  }
  if (name->size() != m_table.nameLength || c.filter.size() >= kMaxFilterRules) return;
  FilterRule rule;
  rule.name = std::string(kFilterNameLength - m_table.nameLength, '-');
  for (char ch : *name) rule.name += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  std::string flags(kFlags, '0');
  if (const std::string* given = At(f, 2))
    for (std::size_t i = 0; i < kFlags && i < given->size(); ++i) flags[i] = (*given)[i] == '1' ? '1' : '0';
  rule.sources = flags + '0';  // converted sentences are not named in these generations' lists
  if (const std::string* div = At(f, 3); m_table.divisor != LegacyDivisor::Never && div && div->size() <= 2 &&
                                         std::all_of(div->begin(), div->end(), [](char ch) {
                                           return std::isdigit(static_cast<unsigned char>(ch));
                                         }))
    rule.div = *div;
  rule.outputs = kAllOutputs;
  c.filter.push_back(rule);
}

std::string LegacyDialect::CfReply(const SimDevice& device) const {
  const SimConfig& c = device.Config();
  const LegacyOptions& o = c.legacy;
  std::string text = "PQVXCF," + Num(c.hostSpeed) + "," + Num(o.mode);
  for (std::size_t i = 3; i < kLegacyCfFields && m_table.cf[i] != S::None; ++i) {
    text += ',';
    if (m_table.cf[i] == S::RealTime)
      for (std::size_t k = 0; k < kInputsOld; ++k) text += Bit(c.realTime[k]);
    else if (const bool* flag = Flag(o, m_table.cf[i]))
      text += Bit(*flag);
  }
  return WireSentence(text);
}

std::vector<std::string> LegacyDialect::FilterReplies(const SimDevice& device) const {
  std::vector<std::string> lines;
  const bool divisors = Divisors(device);
  for (const FilterRule& r : device.Config().filter)
    lines.push_back(WireSentence("PQVXFL," + r.name.substr(kFilterNameLength - m_table.nameLength) + "," +
                                 r.sources.substr(0, kFlags) + (divisors ? "," + r.div : std::string())));
  if (!device.Settings().faults.noListEnd) lines.push_back(WireSentence("PQVXFL,"));
  return lines;
}

void LegacyDialect::AdjustFactory(SimConfig& c) const {
  if (c.hostSpeed > kSpeedLimit) c.hostSpeed = kSpeedLimit;
  c.speed = {0, 0, 1, 3, 1};  // GPS and compass at 4800, wind at 9600, AIS at 38400, Out2 at 9600
  c.realTime = {false, true, false, false, false};
  c.talkerId = {"", "", "", "", ""};
  c.options = 0;  // no TAG blocks, unlisted sentences pass
  c.legacy = LegacyOptions{};
  c.legacy.hdgToHdt = true;
  c.legacy.channelIds = m_table.channelIdsFromFactory;
  const std::string pad(kFilterNameLength - m_table.nameLength, '-');
  const bool divisor = m_table.divisor != LegacyDivisor::Never;
  c.filter = {{"GPGSV", "100000", "", kAllOutputs}, {"HCHDG", "111000", divisor ? "2" : "", kAllOutputs}};
  for (FilterRule& r : c.filter) r.name = pad + r.name.substr(pad.size());
}

void LegacyDialect::BeforeLiveLine(const SimDevice& device, int source, std::string& out) {
  if (!m_table.channelNumberLines || !device.Config().legacy.channelNumbers) {
    m_announced = 0;
    return;
  }
  if (source == m_announced) return;
  m_announced = source;
  out += WireSentence("PQVXCN," + std::to_string(source));
}

void LegacyDialect::RewriteLiveLine(const SimDevice& device, int source, std::string& body) const {
  if (!device.Config().legacy.channelIds) return;
  // "$GPRMC,..." from In 1 becomes "$M1RMC,...": the formatter behind the input.
  const std::size_t comma = std::min(body.find(','), body.size());
  if (comma < 1 + kFormatterLength) return;
  body = body.substr(0, 1) + 'M' + std::to_string(source) + body.substr(comma - kFormatterLength);
}

void LegacyDialect::HandleSentence(const std::string& line, SimDevice& device,
                                   std::vector<std::string>& replies) {
  const Fields f = SentenceFields(line);
  if (f.empty()) return;
  const std::string& address = f[0];
  SimConfig& c = device.Config();
  if (address == "PQVXVER") {
    if (f.size() != 1) return;
    if (device.Settings().caps.empty())  // the oldest firmware reports no capability word
      replies.push_back(WireSentence("PQVXVER," + device.Settings().firmware + "," + device.Settings().name +
                                     "," + device.Settings().serial));
    else
      replies.push_back(VerReply(device));
  } else if (address == "PQVXCFQ") {
    replies.push_back(CfReply(device));
  } else if (address == "PQVXSPQ" && m_table.portSpeeds) {
    replies.push_back(OldSpReply(c));
  } else if (address == "PQVXIDQ") {
    replies.push_back(OldIdReply(c));
  } else if (address == "PQVXFLQ") {
    for (std::string& fl : FilterReplies(device)) replies.push_back(std::move(fl));
  } else if (address == "PQVXCF") {
    HandleCf(f, device, c);
  } else if (address == "PQVXSP" && m_table.portSpeeds) {
    HandleSp(f, c);
  } else if (address == "PQVXID") {
    HandleId(f, c);
  } else if (address == "PQVXFL") {
    HandleFl(f, c);
  }
}

}  // namespace hlx::sim
