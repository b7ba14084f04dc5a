// Link-time wrappers that time the module functions of sim/binding/phase_functions.h as phases.
// Executables that boot the module are linked with --wrap for each symbol (options generated from
// the same list, sim/CMakeLists.txt), so a call reaches the wrapper here, which opens the phase
// and calls the real function. DrawImageFile and EnableGraphicsController are timed by the
// wrappers that log them (sim/binding/image_calls.cpp, sim/binding/enable_calls.cpp).
#include "modules/boot_progress_pei/graphics/bridge_discovery.h"
#include "modules/boot_progress_pei/graphics/chip_startup.h"
#include "modules/boot_progress_pei/graphics/dram_cache.h"
#include "modules/boot_progress_pei/graphics/dram_controller.h"
#include "modules/boot_progress_pei/graphics/dram_sequences.h"
#include "modules/boot_progress_pei/graphics/dram_size.h"
#include "modules/boot_progress_pei/graphics/dram_training.h"
#include "modules/boot_progress_pei/graphics/host_window.h"
#include "modules/boot_progress_pei/graphics/mode_programming.h"
#include "modules/boot_progress_pei/progress/bmc_address.h"
#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/progress_bar.h"
#include "sim/binding/module_symbols.h"
#include "sim/binding/phase_functions.h"
#include "sim/core/phase_log.h"

// The list's parameter entries expand to two arguments, so the wrapper's own macro sees them
// after one more expansion.
#define PHASE_WRAPPER_OF(Name, Ret, Params, Args)                                                  \
  Ret Real##Name Params __asm__("__real_" MODULE_SYMBOL_##Name);                                   \
  Ret Wrap##Name Params __asm__("__wrap_" MODULE_SYMBOL_##Name);                                   \
  Ret Wrap##Name Params {                                                                          \
    sim::PhaseScope phase(#Name);                                                                  \
    return Real##Name Args;                                                                        \
  }
#define PHASE_WRAPPER(Name, Ret, ...) PHASE_WRAPPER_OF(Name, Ret, __VA_ARGS__)

BOOT_PHASE_FUNCTIONS(PHASE_WRAPPER)
