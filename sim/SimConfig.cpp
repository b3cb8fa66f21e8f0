#include "SimConfig.h"

namespace hlx::sim {

SimConfig FactoryConfig(int hostSpeed) {
  SimConfig c;
  c.hostSpeed = hostSpeed;
  c.speed = {0, 0, 1, 3, 5};  // GPS and compass at 4800, wind at 9600, AIS at 38400, Out2 at 115200
  c.priorityTimeout = 2;      // 3 seconds
  c.realTime = {false, true, false, false, false};
  c.talkerId = {"", "", "", "", "GP"};
  c.routeOut1 = {true, true, true, false, true};
  c.routeOut2 = {true, true, true, true, true};
  c.inputMode = {0, 0, 0, 0};
  c.hostDataOut1 = 0;
  c.hostDataOut2 = 1;
  // Channel information as TAG blocks, HDG -> HDT.
  c.options = (1u << kOptionTagBlocks) | (1u << 6);
  c.filter = {
      {"GPGSV", "111111", "", "0010"},
      {"--ALM", "100000", "", "0000"},
      {"AIVDO", "111111", "", "1111"},
      {"HCHDG", "101000", "2", "1110"},
  };
  return c;
}

bool FilterNameMatches(const std::string& name, const std::string& address) {
  if (name.size() != kFilterNameLength || address.size() < kFilterNameLength) return false;
  for (std::size_t i = 0; i < kFilterNameLength; ++i)
    if (name[i] != '-' && name[i] != address[i]) return false;
  return true;
}

}  // namespace hlx::sim
