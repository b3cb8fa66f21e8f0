#include "NoiseSource.h"

#include <algorithm>

#include "SimSentence.h"

namespace hlx::sim {

namespace {

constexpr char kStarts[] = {'$', '!', '\\'};

// Sentences a noisy line may cut or damage; none holds an 'X'.
constexpr const char* kSentences[] = {
    "$GPRMC,120000.00,A,5419.2060,N,01008.4120,E,6.2,47.0,061226,3.1,E,A",
    "$HCHDG,41.9,0.0,E,3.1,E",
    "!AIVDM,1,1,,A,13aG?P0P00PD;88MD5MTDww@2<0L,0",
    "\\s:GPS-1*00\\$IIMWV,38.0,R,14.5,N,A",
};

}  // namespace

NoiseSource::NoiseSource(std::uint32_t seed, double bytesPerSecond)
    : m_random(seed ^ 0x6e015eu), m_rate(bytesPerSecond) {}

char NoiseSource::RandomByte() {
  for (;;) {
    const auto c = static_cast<char>(m_random() & 0xFFu);
    if (c != '\n' && c != 'X') return c;
  }
}

void NoiseSource::AppendPiece(std::string& out) {
  const auto count = [this](unsigned low, unsigned high) { return low + m_random() % (high - low + 1); };
  switch (m_random() % 8) {
    case 0:  // anything but a line end
      for (unsigned n = count(1, 96); n > 0; --n) out += RandomByte();
      break;
    case 1:  // stray start characters
      for (unsigned n = count(1, 6); n > 0; --n) out += kStarts[m_random() % 3];
      break;
    case 2:  // a dead line
      out.append(count(1, 32), '\0');
      break;
    case 3: {  // CR without LF in the middle of a sentence
      const std::string s = kSentences[m_random() % std::size(kSentences)];
      const std::size_t cut = count(1, static_cast<unsigned>(s.size()) - 1);
      out += s.substr(0, cut) + '\r' + s.substr(cut);
      break;
    }
    case 4:  // a line that never ends within the length limit
      out += kStarts[m_random() % 3];
      for (unsigned n = count(129, 600); n > 0; --n) out += RandomByte();
      break;
    case 5:  // high bytes
      for (unsigned n = count(1, 64); n > 0; --n) out += static_cast<char>(0x80u | (m_random() & 0x7Fu));
      break;
    case 6: {  // a whole sentence with a wrong checksum
      std::string s = WireSentence(kSentences[m_random() % 2]);
      s[s.size() - 3] = s[s.size() - 3] == '0' ? '1' : '0';
      out += s;
      break;
    }
    default: {  // the beginning of a sentence, cut off
      const std::string s = kSentences[m_random() % std::size(kSentences)];
      out += s.substr(0, count(1, static_cast<unsigned>(s.size()) - 1));
      break;
    }
  }
}

void NoiseSource::AppendBurst(std::string& out) {
  const std::size_t start = out.size();
  for (unsigned pieces = 1 + m_random() % 4; pieces > 0; --pieces) AppendPiece(out);
  out += m_random() % 2 ? "\r\n" : "\n";
  m_noiseBytes += out.size() - start;
  out += WireSentence(std::string(kMarkerAddress) + "," + std::to_string(m_markers) + "," +
                      std::to_string(m_noiseBytes));
  ++m_markers;
}

void NoiseSource::Advance(std::int64_t nowMs, bool hold, std::string& out) {
  if (!m_clockStarted) {
    m_clockStarted = true;
    m_lastMs = nowMs;
    return;
  }
  const double elapsed = static_cast<double>(std::max<std::int64_t>(0, nowMs - m_lastMs)) / 1000.0;
  m_lastMs = nowMs;
  if (hold) {
    m_credit = std::min(m_credit, 0.0);
    return;
  }
  m_credit = std::min(m_credit + m_rate * elapsed, static_cast<double>(kMaxSlice));
  while (m_credit > 0) {
    const std::uint64_t before = m_noiseBytes;
    AppendBurst(out);
    m_credit -= static_cast<double>(m_noiseBytes - before);
  }
}

}  // namespace hlx::sim
