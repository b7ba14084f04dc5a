// Fresh module globals for each simulated load. Host builds place every MODULE_GLOBAL in one
// linker section; zeroing it gives the state a freshly loaded image starts with.
#pragma once

namespace sim {

void RestoreFreshModuleGlobals();

} // namespace sim
