#include "SimDevice.h"

#include <algorithm>
#include <stdexcept>

#include "SimSentence.h"

namespace hlx::sim {

namespace {

constexpr int kQueueSize = 63;              // input queue slots; full scale of the peak level
constexpr int kFullLoad = 4608;             // processor load at 100 %
constexpr double kMaxBurstSeconds = 1;      // a stalled caller does not get more than this at once
constexpr std::size_t kHostOutputFlag = 2;  // position of "PC" in a rule's output flags

}  // namespace

SimDevice::SimDevice(const SimSettings& settings)
    : m_settings(settings),
      m_config(FactoryConfig(settings.hostSpeed)),
      m_dialect(MakeDialect(settings.generation)),
      m_traffic(settings.seed),
      m_random(settings.seed ^ 0x5eedu) {
  if (!m_dialect)
    throw std::invalid_argument("generation not simulated: " + std::to_string(settings.generation));
  m_dialect->AdjustFactory(m_config);
}

SimDevice::~SimDevice() = default;

void SimDevice::FactoryReset() {
  // The host speed survives: the link the reset came over stays usable.
  m_config = FactoryConfig(m_config.hostSpeed);
  m_dialect->AdjustFactory(m_config);
}

std::vector<std::string> SimDevice::StartFirmware(const std::string& version) {
  m_settings.firmware = version;
  m_statisticsOn = false;
  return m_dialect->StartUpLines(*this);
}

std::vector<std::string> SimDevice::ReceiveLine(std::string_view line) {
  std::vector<std::string> replies;
  if (m_settings.faults.silent) return replies;
  std::string text(line);
  // Accept a bare LF end too; the field parser wants CR LF.
  if (text.empty() || text.back() != '\n')
    text += "\r\n";
  else if (text.size() < 2 || text[text.size() - 2] != '\r')
    text.insert(text.size() - 1, "\r");
  if (!ChecksumAcceptable(text)) {
    ++m_badChecksums;
    return replies;
  }
  m_dialect->HandleSentence(text, *this, replies);
  return replies;
}

std::string SimDevice::SourceName() const {
  std::string name;
  for (char c : m_settings.name)
    if (c != '-' && c != '*' && c != ',' && c != '\\' && c != '!' && c != '$' &&
        static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x7F)
      name += c;
  if (name.size() > 16) name.resize(16);  // keeps tagged lines well inside the 128-character limit
  return name.empty() ? std::string("HLX") : name;
}

bool SimDevice::Forwarded(const GeneratedLine& line) const {
  std::string address = line.body.substr(1, line.body.find(',') - 1);
  for (const FilterRule& rule : m_config.filter) {
    if (!FilterNameMatches(rule.name, address)) continue;
    const auto src = static_cast<std::size_t>(line.source);
    const bool accepted = src < rule.sources.size() && rule.sources[src] == '1';
    return accepted && rule.outputs.size() > kHostOutputFlag && rule.outputs[kHostOutputFlag] == '1';
  }
  return !OptionBit(m_config.options, kOptionFilterBlocks);
}

void SimDevice::AppendLive(const GeneratedLine& line, std::string& out) {
  std::string body = line.body;
  const std::string& talker = m_config.talkerId[static_cast<std::size_t>(line.source - 1)];
  if (body[0] == '$' && talker.size() == 2) body.replace(1, 2, talker);
  m_dialect->RewriteLiveLine(*this, line.source, body);
  m_dialect->BeforeLiveLine(*this, line.source, out);
  if (m_dialect->TagBlocksOn(*this)) {
    out += WireTagBlock("s:" + SourceName() + "-" + std::to_string(line.source));
  }
  out += WireSentence(body);
  // A line damaged on the way in: the last checksum digit no longer matches.
  const int every = m_settings.faults.badLiveChecksumEvery;
  if (every > 0 && ++m_liveLines % static_cast<std::uint64_t>(every) == 0) out[out.size() - 3] ^= 1;
}

void SimDevice::AppendStat(std::string& out) {
  // Peak queue levels grow with the traffic of the input; the load follows the total rate.
  const double rate = m_settings.trafficRate;
  std::uniform_int_distribution<int> jitter(0, 3);
  std::string text = "PQVXSTAT";
  for (int input = 0; input < kInputs; ++input) {
    const double share = input == 3 ? 0.12 : 0.29;
    int level = static_cast<int>(rate * share / 40.0) + jitter(m_random);
    text += "," + std::to_string(std::clamp(level, 0, kQueueSize));
  }
  const int load = static_cast<int>(350 + rate * 0.18) + jitter(m_random) * 20;
  text += "," + std::to_string(std::clamp(load, 0, kFullLoad));
  out += WireSentence(text);
}

void SimDevice::Advance(std::int64_t nowMs, std::string& out) {
  if (!m_clockStarted) {
    m_clockStarted = true;
    m_lastMs = nowMs;
    m_nextOverflowMs = nowMs + m_settings.overflowPeriodMs;
    m_nextStatMs = nowMs + m_settings.statPeriodMs;
    return;
  }
  const double elapsed = static_cast<double>(std::max<std::int64_t>(0, nowMs - m_lastMs)) / 1000.0;
  m_lastMs = nowMs;
  const double rate = m_settings.trafficRate;
  if (rate > 0) {
    m_lineCredit = std::min(m_lineCredit + rate * elapsed, rate * kMaxBurstSeconds + 1);
    while (m_lineCredit >= 1.0) {
      m_lineCredit -= 1.0;
      const GeneratedLine line = m_traffic.Next(m_config.options, nowMs);
      if (Forwarded(line)) AppendLive(line, out);
    }
    if (m_settings.overflowPeriodMs > 0 && nowMs >= m_nextOverflowMs) {
      m_nextOverflowMs = nowMs + m_settings.overflowPeriodMs;
      // One or two inputs at a time, as a burst on a busy input would do.
      static constexpr int kPatterns[] = {1, 2, 4, 8, 3, 5, 9};
      const int pattern = kPatterns[m_random() % std::size(kPatterns)];
      out += WireSentence("PQVXOV," + std::to_string(pattern));
    }
  } else {
    m_lineCredit = 0;
  }
  if (m_statisticsOn && m_settings.statPeriodMs > 0 && nowMs >= m_nextStatMs) {
    m_nextStatMs = nowMs + m_settings.statPeriodMs;
    AppendStat(out);
  } else if (!m_statisticsOn) {
    m_nextStatMs = std::max(m_nextStatMs, nowMs);
  }
}

}  // namespace hlx::sim
