#pragma once
// Plausible NMEA traffic of a small boat: a GPS on In1, a compass on In2,
// wind/depth/log instruments on In3, an AIS receiver on In4, and the
// device's own conversions (source 5) following the sentences they are made
// from while the matching option bit is on.

#include <cstdint>
#include <deque>
#include <random>
#include <string>

namespace hlx::sim {

struct GeneratedLine {
  int source = 0;    // 1..4 inputs, 5 converted
  std::string body;  // "$GPRMC,..." without checksum and CR LF
};

class TrafficGenerator {
 public:
  explicit TrafficGenerator(std::uint32_t seed);

  // The next sentence; `options` is the device's option word (conversions),
  // `nowMs` the device clock (time of day and position advance with it).
  GeneratedLine Next(std::uint32_t options, std::int64_t nowMs);

 private:
  void Step(std::int64_t nowMs);
  std::string TimeText() const;
  std::string DateText() const;
  std::string LatText() const;
  std::string LonText() const;
  std::string Rmc();
  std::string Gga(const char* talker);
  std::string Vtg();
  std::string Gsv();
  std::string Hdg();
  std::string Hdt(double heading);
  std::string Mwv();
  std::string Vwr();
  std::string Dbt();
  std::string Vhw(const char* talker);
  std::string Zda();
  std::string Aivdm();
  void QueueConversions(int kind, std::uint32_t options);

  std::mt19937 m_random;
  std::size_t m_cycle = 0;
  std::deque<GeneratedLine> m_pending;  // conversions waiting to follow their source
  double m_seconds = 12 * 3600;         // time of day of the simulated voyage
  double m_lat = 54.3201;               // degrees north
  double m_lon = 10.1402;               // degrees east
  double m_course = 47.0;
  double m_speedKn = 6.2;
  double m_heading = 45.0;
  double m_variation = 3.1;
  double m_windAngle = 38.0;
  double m_windSpeed = 14.5;
  double m_depth = 12.4;
  std::int64_t m_lastMs = -1;
};

}  // namespace hlx::sim
