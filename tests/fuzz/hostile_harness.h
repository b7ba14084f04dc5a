// Shared by the hostile-hardware fuzz targets: the example boards of scenarios/ as seeds, and the
// oracle. An input is one byte choosing the board, then the stream the lying bus answers from.
// Every input gets a board of its own, built fresh from its scenario (the flash packed once per
// board), so every input starts from the same state. Every violation the bus monitor finds aborts
// with its report, so the fuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/core/scenario.h"
#include "sim/hostile/bus_monitor.h"
#include "tests/fuzz/hostile_runs.h"

namespace hostile {

inline std::vector<BoardTemplate> LoadBoards(bool warm) {
  std::vector<BoardTemplate> out;
  std::stringstream list(HOSTILE_SCENARIOS);
  std::string path;
  while (std::getline(list, path, ',')) {
    if (path.find("/hang-") != std::string::npos) {
      continue;
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    nlohmann::json doc = nlohmann::json::parse(text.str());
    if (warm) {
      doc["display"]["chip"]["started_by_bmc"] = true;
    }
    out.emplace_back(sim::ParseScenario(doc, path, "."));
  }
  return out;
}

// The scenario files, in name order (HOSTILE_SCENARIOS lists them, separated by ','), but the
// hang boards: their honest chip runs each bounded wait to its end, seconds of work per input that
// the chip tests cover already.
inline const std::vector<BoardTemplate> &Boards() {
  static const std::vector<BoardTemplate> boards = LoadBoards(false);
  return boards;
}

// The same boards with the chip started by the BMC before the host runs (its DRAM trained), for
// the targets whose work should be decided by the lies rather than by an honest training.
inline const std::vector<BoardTemplate> &WarmBoards() {
  static const std::vector<BoardTemplate> boards = LoadBoards(true);
  return boards;
}

inline void Require(const RunResult &r) {
  if (!r.clean) {
    std::fprintf(stderr, "invariant violated: %s\n", r.report.c_str());
    std::abort();
  }
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
