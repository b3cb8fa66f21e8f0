#include "Gen4Dialect.h"

#include <algorithm>
#include <cctype>

#include "CurrentDialect.h"
#include "SimDevice.h"
#include "SimSentence.h"

namespace hlx::sim {

namespace {

constexpr int kGen4SpeedLimit = 3;  // 4800 .. 38400 on every port, the host port too
constexpr int kModeLimit = 2;       // server, hub, automatic
constexpr std::size_t kGen4Inputs = 4;
constexpr std::size_t kGen4Flags = 5;  // PC, In1..In4
constexpr std::size_t kTalkerIdLength = 2;
constexpr char kAllOutputs[] = "1111";  // generation 4 rules filter by source only

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

void HandleCf(const Fields& f, SimConfig& c) {
  if (const int v = Digit(At(f, 1), kGen4SpeedLimit); v >= 0) c.hostSpeed = v;
  if (const int v = Digit(At(f, 2), kModeLimit); v >= 0) c.legacy.mode = v;
  ApplyBool(At(f, 3), c.legacy.seaTalk);
  ApplyBool(At(f, 4), c.legacy.priority);
  ApplyBool(At(f, 5), c.legacy.channelNumbers);
  if (const std::string* rt = At(f, 6))
    for (std::size_t i = 0; i < kGen4Inputs && i < rt->size(); ++i)
      if ((*rt)[i] == '0' || (*rt)[i] == '1') c.realTime[i] = (*rt)[i] == '1';
  ApplyBool(At(f, 7), c.legacy.hdgToHdt);
  ApplyBool(At(f, 8), c.legacy.aisOnIn1);
}

void HandleSp(const Fields& f, SimConfig& c) {
  for (std::size_t i = 0; i < c.speed.size(); ++i)
    if (const int v = Digit(At(f, i + 1), kGen4SpeedLimit); v >= 0) c.speed[i] = v;
}

void HandleId(const Fields& f, SimConfig& c) {
  for (std::size_t i = 0; i < kGen4Inputs; ++i) {
    const std::string* id = At(f, i + 1);
    if (!id) break;
    std::string text;
    for (char ch : id->substr(0, kTalkerIdLength))
      if (std::isalnum(static_cast<unsigned char>(ch))) text += static_cast<char>(std::toupper(ch));
    c.talkerId[i] = text;
  }
}

void HandleFl(const Fields& f, SimConfig& c) {
  const std::string* name = At(f, 1);
  if (!name) {
    c.filter.clear();  // "PQVXFL" alone empties the list
    return;
  }
  if (name->size() != kFilterNameLength || c.filter.size() >= kMaxFilterRules) return;
  FilterRule rule;
  for (char ch : *name) rule.name += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  std::string flags(kGen4Flags, '0');
  if (const std::string* given = At(f, 2))
    for (std::size_t i = 0; i < kGen4Flags && i < given->size(); ++i)
      flags[i] = (*given)[i] == '1' ? '1' : '0';
  rule.sources = flags + '0';  // converted sentences are not named in this generation's list
  if (const std::string* div = At(f, 3);
      div && div->size() <= 2 && std::all_of(div->begin(), div->end(), [](char ch) {
        return std::isdigit(static_cast<unsigned char>(ch));
      }))
    rule.div = *div;
  rule.outputs = kAllOutputs;
  c.filter.push_back(rule);
}

}  // namespace

std::string Gen4CfReply(const SimConfig& c) {
  std::string rt;
  for (std::size_t i = 0; i < kGen4Inputs; ++i) rt += Bit(c.realTime[i]);
  const LegacyOptions& o = c.legacy;
  return WireSentence("PQVXCF," + Num(c.hostSpeed) + "," + Num(o.mode) + "," + Bit(o.seaTalk) + "," +
                      Bit(o.priority) + "," + Bit(o.channelNumbers) + "," + rt + "," + Bit(o.hdgToHdt) + "," +
                      Bit(o.aisOnIn1));
}

std::string Gen4SpReply(const SimConfig& c) {
  std::string text = "PQVXSP";
  for (int v : c.speed) text += "," + Num(v);
  return WireSentence(text);
}

std::string Gen4IdReply(const SimConfig& c) {
  std::string text = "PQVXID";
  for (std::size_t i = 0; i < kGen4Inputs; ++i) text += "," + c.talkerId[i];
  return WireSentence(text);
}

std::vector<std::string> Gen4FilterReplies(const SimConfig& c, bool withEnd) {
  std::vector<std::string> lines;
  for (const FilterRule& r : c.filter)
    lines.push_back(WireSentence("PQVXFL," + r.name + "," + r.sources.substr(0, kGen4Flags) + "," + r.div));
  if (withEnd) lines.push_back(WireSentence("PQVXFL,"));
  return lines;
}

void Gen4Dialect::AdjustFactory(SimConfig& c) const {
  if (c.hostSpeed > kGen4SpeedLimit) c.hostSpeed = kGen4SpeedLimit;
  c.speed = {0, 0, 1, 3, 1};  // GPS and compass at 4800, wind at 9600, AIS at 38400, Out2 at 9600
  c.realTime = {false, true, false, false, false};
  c.talkerId = {"", "", "", "", ""};
  c.options = 0;  // no TAG blocks, unlisted sentences pass
  c.legacy = LegacyOptions{};
  c.legacy.hdgToHdt = true;
  c.filter = {{"GPGSV", "100000", "", kAllOutputs}, {"HCHDG", "111000", "2", kAllOutputs}};
}

void Gen4Dialect::BeforeLiveLine(const SimDevice& device, int source, std::string& out) {
  if (!device.Config().legacy.channelNumbers) {
    m_announced = 0;
    return;
  }
  if (source == m_announced) return;
  m_announced = source;
  out += WireSentence("PQVXCN," + std::to_string(source));
}

void Gen4Dialect::HandleSentence(const std::string& line, SimDevice& device,
                                 std::vector<std::string>& replies) {
  const Fields f = SentenceFields(line);
  if (f.empty()) return;
  const std::string& address = f[0];
  SimConfig& c = device.Config();
  if (address == "PQVXVER") {
    if (f.size() == 1) replies.push_back(VerReply(device));  // the same reply as the current firmware's
  } else if (address == "PQVXCFQ") {
    replies.push_back(Gen4CfReply(c));
  } else if (address == "PQVXSPQ") {
    replies.push_back(Gen4SpReply(c));
  } else if (address == "PQVXIDQ") {
    replies.push_back(Gen4IdReply(c));
  } else if (address == "PQVXFLQ") {
    for (std::string& fl : Gen4FilterReplies(c, !device.Settings().faults.noListEnd))
      replies.push_back(std::move(fl));
  } else if (address == "PQVXCF") {
    HandleCf(f, c);
  } else if (address == "PQVXSP") {
    HandleSp(f, c);
  } else if (address == "PQVXID") {
    HandleId(f, c);
  } else if (address == "PQVXFL") {
    HandleFl(f, c);
  }
}

}  // namespace hlx::sim
