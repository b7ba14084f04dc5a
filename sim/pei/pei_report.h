// report.json of a PEI boot: what happened, in a stable shape for scripts and reviewers.
#pragma once

#include <nlohmann/json.hpp>

#include "sim/pei/pei_boot.h"

namespace sim {

nlohmann::json PeiReport(PeiBoard &board, const BootResult &result);

} // namespace sim
