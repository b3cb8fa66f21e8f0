#pragma once
// The simulated multiplexer without any transport: configuration state, the
// answers to received lines, and the live output (traffic, overflow and
// statistics reports) as a function of a clock the caller passes in. The
// transports feed it lines and write what it returns.

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SimConfig.h"
#include "SimDialect.h"
#include "TrafficGenerator.h"

namespace hlx::sim {

// Switchable failure modes, for tests of the program's error handling.
struct SimFaults {
  bool silent = false;           // ignores every received line
  bool noCaps = false;           // VER reply without the capability word
  bool verGarbage = false;       // capability word that is not hexadecimal
  bool noListEnd = false;        // configuration reply without the closing FL
  bool quietCommands = false;    // settings commands are not answered with their reply
  std::string ignoredCommand;    // commands with this address are answered but change nothing
  int badLiveChecksumEvery = 0;  // every Nth live line goes out with a wrong checksum; 0 = none
};

struct SimSettings {
  int generation = 0;
  std::string firmware = "3.33.1";
  std::string name = "HLX2000";
  std::string serial = "20261206";
  std::string caps = "8041";
  int hostSpeed = 5;       // index 0..6 (115200)
  double trafficRate = 0;  // live lines per second
  std::uint32_t seed = 1;
  int overflowPeriodMs = 10000;  // how often an overflow report comes with traffic on; 0 = never
  int statPeriodMs = 1000;       // statistics report interval while switched on
  SimFaults faults;
};

class SimDevice {
 public:
  explicit SimDevice(const SimSettings& settings);  // throws std::invalid_argument for unknown generations
  ~SimDevice();

  // One received line as a transport assembled it (start character through
  // LF). Returns the wire text of each reply, CR LF included.
  std::vector<std::string> ReceiveLine(std::string_view line);

  // Appends to `out` the wire text of everything the device sends on its own
  // up to `nowMs` (any monotonic millisecond clock). The first call only
  // starts the clock.
  void Advance(std::int64_t nowMs, std::string& out);

  const SimSettings& Settings() const { return m_settings; }
  SimConfig& Config() { return m_config; }
  const SimConfig& Config() const { return m_config; }
  int HostSpeed() const { return m_config.hostSpeed; }
  void SetStatisticsOn(bool on) { m_statisticsOn = on; }
  void FactoryReset();
  // The firmware was told to restart into the bootloader; the transports
  // decide whether they can carry it there. Reading clears the request.
  void RequestLoader() { m_loaderRequested = true; }
  bool TakeLoaderRequest() { return std::exchange(m_loaderRequested, false); }
  // The firmware `version` starts (after an update): settings survive, the
  // statistics switch does not. Returns what it sends on its own.
  std::vector<std::string> StartFirmware(const std::string& version);
  int BadChecksumCount() const { return m_badChecksums; }

  // Name as it appears in TAG blocks: only characters that cannot confuse a
  // TAG parser (no '-', which separates the input number, nor '*', ',', '\').
  std::string SourceName() const;

 private:
  bool Forwarded(const GeneratedLine& line) const;
  void AppendLive(const GeneratedLine& line, std::string& out);
  void AppendStat(std::string& out);

  SimSettings m_settings;
  SimConfig m_config;
  std::unique_ptr<SimDialect> m_dialect;
  TrafficGenerator m_traffic;
  std::mt19937 m_random;
  bool m_statisticsOn = false;
  bool m_loaderRequested = false;
  bool m_clockStarted = false;
  std::int64_t m_lastMs = 0;
  std::int64_t m_nextOverflowMs = 0;
  std::int64_t m_nextStatMs = 0;
  double m_lineCredit = 0;
  std::uint64_t m_liveLines = 0;
  int m_badChecksums = 0;
};

}  // namespace hlx::sim
