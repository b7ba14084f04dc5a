// The "display" block of report.json: the display path's PCI functions as the module left them,
// the mode the controller is programmed with, its pixel-clock bytes and what
// EnableGraphicsController returned.
#pragma once

#include <nlohmann/json.hpp>

#include "sim/pei/display_hardware.h"

namespace sim {

nlohmann::json DisplayReport(DisplayHardware &display);

} // namespace sim
