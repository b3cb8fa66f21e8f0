// Line parser throughput on a large generated capture: realistic sentences,
// TAG blocks, AIS lines, some garbage and overlong lines, fed in read-sized
// blocks the way the receive thread feeds it.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "link/LineParser.h"
#include "link/Nmeadefs.h"

using namespace hlx;

namespace {

std::string MakeCapture(std::size_t size) {
  static const char* const kSentences[] = {
      "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W",
      "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
      "IIMWV,214.8,R,0.1,K,A",
      "SDDPT,5.6,0.5,",
      "HCHDG,98.3,0.0,E,12.6,W",
  };
  std::mt19937 rng(7);
  std::string out;
  out.reserve(size + 256);
  while (out.size() < size) {
    const unsigned pick = rng() % 100;
    if (pick < 70) {
      out += CompleteSentence(kSentences[rng() % 5]);
    } else if (pick < 85) {
      out += "\\s:In" + std::to_string(rng() % 4 + 1) + "-" + std::to_string(rng() % 4 + 1) + "*5A\\" +
             CompleteSentence(kSentences[rng() % 5]);
    } else if (pick < 95) {
      out += "!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\r\n";
    } else if (pick < 98) {
      out += "noise\x01\x02\xff";
    } else {
      out += "$" + std::string(150, 'X') + "\r\n";  // overlong, dropped
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const std::size_t block = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 4096;
  const std::string capture = MakeCapture(megabytes << 20);
  double best = 0;
  std::size_t lines = 0;
  for (int run = 0; run < 3; ++run) {
    LineParser parser;
    std::size_t count = 0;
    std::size_t sum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t pos = 0; pos < capture.size(); pos += block) {
      const std::size_t n = std::min(block, capture.size() - pos);
      parser.Feed(capture.data() + pos, n, [&](std::string_view line) {
        ++count;
        sum += line.size();
      });
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mbps = double(capture.size()) / s / 1e6;
    std::printf("run %d: %zu lines (%zu bytes) in %.3f s = %.0f MB/s\n", run + 1, count, sum, s, mbps);
    best = std::max(best, mbps);
    lines = count;
  }
  std::printf("capture %.0f MB, %zu-byte reads, %zu lines: best %.0f MB/s (target >= 100)\n",
              double(capture.size()) / 1e6, block, lines, best);
  return best >= 100 ? 0 : 1;
}
