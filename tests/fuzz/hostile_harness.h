// Shared by the hostile-hardware fuzz targets: the example boards of scenarios/ as seeds, and the
// oracle. An input is one byte choosing the board, then the stream the lying bus answers from.
// Every violation the bus monitor finds aborts with its report, so the fuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/core/scenario.h"
#include "sim/hostile/bus_monitor.h"

namespace hostile {

// The scenario files, in name order (HOSTILE_SCENARIOS lists them, separated by ','), but the
// hang boards: their honest chip runs each bounded wait to its end, seconds of work per input that
// the chip tests cover already.
inline const std::vector<sim::Scenario> &Boards() {
  static const std::vector<sim::Scenario> boards = [] {
    std::vector<sim::Scenario> out;
    std::stringstream list(HOSTILE_SCENARIOS);
    std::string path;
    while (std::getline(list, path, ',')) {
      if (path.find("/hang-") != std::string::npos) {
        continue;
      }
      std::ifstream in(path);
      std::stringstream text;
      text << in.rdbuf();
      out.push_back(sim::ParseScenario(nlohmann::json::parse(text.str()), path, "."));
    }
    return out;
  }();
  return boards;
}

inline void Require(const sim::BusMonitor &monitor) {
  if (!monitor.Clean()) {
    std::fprintf(stderr, "invariant violated: %s\n", monitor.Report().c_str());
    std::abort();
  }
}

inline void Require(bool holds, const char *what) {
  if (!holds) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
  }
}

} // namespace hostile
