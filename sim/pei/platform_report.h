// report.json blocks of the platform around the display: the address strap pad (the level the
// module read, the pad's registers at power-on and now), the PCH (POST code, sideband messages)
// and the BMC (each IPMI exchange).
#pragma once

#include <nlohmann/json.hpp>

#include "sim/pei/platform_hardware.h"

namespace sim {

// {"strap": ..., "pch": ..., "bmc": ...}
nlohmann::json PlatformReport(PlatformHardware &platform);

} // namespace sim
