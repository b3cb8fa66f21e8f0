#pragma once
// A noisy host line: bursts of garbage bytes, each followed by a numbered
// marker sentence, so a receiver's test can tell exactly which good
// sentences came through the noise.
//
// A burst holds the cases a receiver finds hard: NUL bytes, stray '$', '!'
// and '\', CR without LF, high bytes, cut and badly checksummed sentences,
// and runs far longer than a line may be. Every burst ends with a line end,
// so the next sentence starts on a clean line; a burst never contains an 'X',
// so it cannot form a marker (nor a device reply) by chance. Markers are
// "$PXSEQ,<number>,<noise bytes sent before it>*hh" CR LF, numbered from 0.

#include <cstdint>
#include <random>
#include <string>

namespace hlx::sim {

class NoiseSource {
 public:
  static constexpr const char* kMarkerAddress = "PXSEQ";
  // Most garbage produced by one Advance call: a stalled caller does not get
  // a flood at once, and output that waits for a slow reader stays bounded.
  static constexpr std::size_t kMaxSlice = 96 * 1024;

  NoiseSource(std::uint32_t seed, double bytesPerSecond);

  // Appends the bursts and markers due by `nowMs` (the first call only starts
  // the clock). With `hold` nothing is produced and no credit builds up: the
  // caller's readers are behind.
  void Advance(std::int64_t nowMs, bool hold, std::string& out);

  // One burst of garbage (line end included), then its marker.
  void AppendBurst(std::string& out);

  std::uint64_t NoiseBytes() const { return m_noiseBytes; }

 private:
  char RandomByte();  // any byte but LF and 'X'
  void AppendPiece(std::string& out);

  std::mt19937 m_random;
  double m_rate;
  double m_credit = 0;
  bool m_clockStarted = false;
  std::int64_t m_lastMs = 0;
  std::uint64_t m_noiseBytes = 0;
  std::uint64_t m_markers = 0;
};

}  // namespace hlx::sim
