#include "TrafficGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iterator>

namespace hlx::sim {

namespace {

// Option bits that make the device produce converted sentences.
constexpr int kConvHdgToHdt = 6;
constexpr int kConvVtgToVhw = 7;
constexpr int kConvVwrMwv = 8;
constexpr int kConvRmcToGga = 15;
constexpr int kConvRmcToZda = 18;

enum Kind { kRmc, kGga, kVtg, kGsv, kHdg, kMwv, kDbt, kVhw, kAis };

// One round of the instruments; the GPS talks most, AIS least.
constexpr Kind kCycle[] = {kRmc, kHdg, kMwv, kGga, kVtg, kHdg, kDbt, kAis,
                           kRmc, kHdg, kMwv, kVhw, kGsv, kHdg, kAis, kGga};

constexpr int SourceOf(Kind k) {
  switch (k) {
    case kRmc:
    case kGga:
    case kVtg:
    case kGsv: return 1;
    case kHdg: return 2;
    case kMwv:
    case kDbt:
    case kVhw: return 3;
    case kAis: return 4;
  }
  return 1;
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[160];
  va_list args;
  va_start(args, fmt);
  const int n = std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  if (n < 0) return {};
  return std::string(buf,
                     static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

double Wrap360(double deg) {
  deg = std::fmod(deg, 360.0);
  return deg < 0 ? deg + 360.0 : deg;
}

constexpr double kPi = 3.14159265358979323846;

}  // namespace

TrafficGenerator::TrafficGenerator(std::uint32_t seed) : m_random(seed) {}

void TrafficGenerator::Step(std::int64_t nowMs) {
  if (m_lastMs < 0) m_lastMs = nowMs;
  const double dt = static_cast<double>(nowMs - m_lastMs) / 1000.0;
  m_lastMs = nowMs;
  if (dt <= 0) return;
  std::normal_distribution<double> noise(0.0, 1.0);
  m_seconds = std::fmod(m_seconds + dt, 86400.0);
  const double distNm = m_speedKn * dt / 3600.0;
  m_lat += distNm * std::cos(m_course * kPi / 180.0) / 60.0;
  m_lon += distNm * std::sin(m_course * kPi / 180.0) / (60.0 * std::cos(m_lat * kPi / 180.0));
  const double scale = std::min(dt, 1.0);
  m_course = Wrap360(m_course + noise(m_random) * 0.5 * scale);
  m_heading = Wrap360(m_course - 2.0 + noise(m_random) * 0.8 * scale);
  m_speedKn = std::clamp(m_speedKn + noise(m_random) * 0.05 * scale, 0.0, 12.0);
  m_windAngle = Wrap360(m_windAngle + noise(m_random) * 1.5 * scale);
  m_windSpeed = std::clamp(m_windSpeed + noise(m_random) * 0.3 * scale, 0.0, 60.0);
  m_depth = std::clamp(m_depth + noise(m_random) * 0.1 * scale, 2.0, 200.0);
}

std::string TrafficGenerator::TimeText() const {
  const int total = static_cast<int>(m_seconds);
  const int hundredths = static_cast<int>((m_seconds - total) * 100.0);
  return Format("%02d%02d%02d.%02d", total / 3600, total / 60 % 60, total % 60, hundredths);
}

std::string TrafficGenerator::DateText() const { return "061226"; }

std::string TrafficGenerator::LatText() const {
  const double a = std::fabs(m_lat);
  const int deg = static_cast<int>(a);
  return Format("%02d%07.4f,%c", deg, (a - deg) * 60.0, m_lat >= 0 ? 'N' : 'S');
}

std::string TrafficGenerator::LonText() const {
  const double a = std::fabs(m_lon);
  const int deg = static_cast<int>(a);
  return Format("%03d%07.4f,%c", deg, (a - deg) * 60.0, m_lon >= 0 ? 'E' : 'W');
}

std::string TrafficGenerator::Rmc() {
  return Format("$GPRMC,%s,A,%s,%s,%.1f,%.1f,%s,%.1f,E,A", TimeText().c_str(), LatText().c_str(),
                LonText().c_str(), m_speedKn, m_course, DateText().c_str(), m_variation);
}

std::string TrafficGenerator::Gga(const char* talker) {
  return Format("$%sGGA,%s,%s,%s,1,%02d,0.9,%.1f,M,39.2,M,,", talker, TimeText().c_str(), LatText().c_str(),
                LonText().c_str(), 8 + static_cast<int>(m_random() % 4), 3.0 + (m_random() % 20) / 10.0);
}

std::string TrafficGenerator::Vtg() {
  return Format("$GPVTG,%.1f,T,%.1f,M,%.1f,N,%.1f,K,A", m_course, Wrap360(m_course - m_variation), m_speedKn,
                m_speedKn * 1.852);
}

std::string TrafficGenerator::Gsv() {
  std::string s = "$GPGSV,1,1,04";
  for (int i = 0; i < 4; ++i)
    s += Format(",%02d,%02d,%03d,%02d", 3 + i * 7, 10 + static_cast<int>(m_random() % 70),
                static_cast<int>(m_random() % 360), 25 + static_cast<int>(m_random() % 25));
  return s;
}

std::string TrafficGenerator::Hdg() {
  return Format("$HCHDG,%.1f,0.0,E,%.1f,E", Wrap360(m_heading - m_variation), m_variation);
}

std::string TrafficGenerator::Hdt(double heading) { return Format("$HCHDT,%.1f,T", Wrap360(heading)); }

std::string TrafficGenerator::Mwv() { return Format("$IIMWV,%.1f,R,%.1f,N,A", m_windAngle, m_windSpeed); }

std::string TrafficGenerator::Vwr() {
  const bool starboard = m_windAngle <= 180.0;
  const double angle = starboard ? m_windAngle : 360.0 - m_windAngle;
  return Format("$IIVWR,%.1f,%c,%.1f,N,%.1f,M,%.1f,K", angle, starboard ? 'R' : 'L', m_windSpeed,
                m_windSpeed * 0.5144, m_windSpeed * 1.852);
}

std::string TrafficGenerator::Dbt() {
  return Format("$IIDBT,%.1f,f,%.1f,M,%.1f,F", m_depth * 3.2808, m_depth, m_depth * 0.5468);
}

std::string TrafficGenerator::Vhw(const char* talker) {
  const double stw = m_speedKn * 0.95;
  return Format("$%sVHW,%.1f,T,%.1f,M,%.1f,N,%.1f,K", talker, m_heading, Wrap360(m_heading - m_variation),
                stw, stw * 1.852);
}

std::string TrafficGenerator::Zda() { return Format("$GPZDA,%s,06,12,2026,00,00", TimeText().c_str()); }

std::string TrafficGenerator::Aivdm() {
  // A class A position report's worth of six-bit characters; the content is
  // noise, the framing and the checksum are what receivers look at.
  static constexpr char kArmour[] = "0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVW`abcdefghijklmnopqrstuvw";
  std::string payload(28, '0');
  payload[0] = '1';
  for (std::size_t i = 1; i < payload.size(); ++i) payload[i] = kArmour[m_random() % 64];
  return "!AIVDM,1,1,," + std::string(m_random() % 2 ? "A" : "B") + "," + payload + ",0";
}

void TrafficGenerator::QueueConversions(int kind, std::uint32_t options) {
  auto on = [options](int bit) { return (options >> bit) & 1u; };
  switch (kind) {
    case kHdg:
      if (on(kConvHdgToHdt)) m_pending.push_back({5, Hdt(m_heading)});
      break;
    case kRmc:
      if (on(kConvRmcToGga)) m_pending.push_back({5, Gga("GP")});
      if (on(kConvRmcToZda)) m_pending.push_back({5, Zda()});
      break;
    case kVtg:
      if (on(kConvVtgToVhw)) m_pending.push_back({5, Vhw("VW")});
      break;
    case kMwv:
      if (on(kConvVwrMwv)) m_pending.push_back({5, Vwr()});
      break;
    default: break;
  }
}

GeneratedLine TrafficGenerator::Next(std::uint32_t options, std::int64_t nowMs) {
  Step(nowMs);
  if (!m_pending.empty()) {
    GeneratedLine line = std::move(m_pending.front());
    m_pending.pop_front();
    return line;
  }
  const Kind kind = kCycle[m_cycle++ % std::size(kCycle)];
  GeneratedLine line{SourceOf(kind), {}};
  switch (kind) {
    case kRmc: line.body = Rmc(); break;
    case kGga: line.body = Gga("GP"); break;
    case kVtg: line.body = Vtg(); break;
    case kGsv: line.body = Gsv(); break;
    case kHdg: line.body = Hdg(); break;
    case kMwv: line.body = Mwv(); break;
    case kDbt: line.body = Dbt(); break;
    case kVhw: line.body = Vhw("II"); break;
    case kAis: line.body = Aivdm(); break;
  }
  QueueConversions(kind, options);
  return line;
}

}  // namespace hlx::sim
