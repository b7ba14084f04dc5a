// The scenario's PPI events, keys read by the PEI board:
//   events       PPIs other components install, in order, by name (see sim/pei/ppi_names.h);
//                at most kMaxScenarioEvents; [] means none; absent: every milestone
//   preinstalled PPIs installed before the module is loaded (same names and limit)
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sim/core/scenario.h"

namespace sim {

constexpr size_t kMaxScenarioEvents = 256;

struct PpiEventSetting {
  std::vector<std::string> preinstalled;
  std::vector<std::string> events = {"ProgressStart", "ScreenA",       "Milestone5",
                                     "Milestone10",   "Milestone15",   "PermanentMemory",
                                     "Milestone30",   "IpmiTransport", "Footer"};
};

// Reads scenario.raw's "events" and "preinstalled"; throws ScenarioError naming the key for a
// list that is too long or a name that is not a platform PPI.
PpiEventSetting ParsePpiEvents(const Scenario &scenario);

} // namespace sim
