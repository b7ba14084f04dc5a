#include "sim/core/module_globals.h"

#include <cstring>

// Provided by the linker for a section whose name is a C identifier, when the section exists.
extern "C" char __start_module_globals[] __attribute__((weak));
extern "C" char __stop_module_globals[] __attribute__((weak));

namespace sim {

void RestoreFreshModuleGlobals() {
  if (__start_module_globals != nullptr && __stop_module_globals != nullptr) {
    std::memset(__start_module_globals, 0,
                static_cast<size_t>(__stop_module_globals - __start_module_globals));
  }
}

} // namespace sim
