// The phases of a boot as report.json's `phases` and `cost` blocks, as a Chrome trace-event
// timeline (timeline.json: Perfetto and chrome://tracing show it as a flame chart), and as the
// short table bootsim prints.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/core/phase_log.h"

namespace sim {

nlohmann::json PhasesJson(const PhaseLog &log, const CostModel &cost);
// {"time_us", "floor_us", "ratio"} of the whole boot.
nlohmann::json CostJson(const PhaseLog &log);
nlohmann::json TimelineJson(const PhaseLog &log, const CostModel &cost);
// Phases down to `depth` levels, one line each, indented by level.
std::string PhaseTable(const PhaseLog &log, const CostModel &cost, unsigned depth = 3);

} // namespace sim
