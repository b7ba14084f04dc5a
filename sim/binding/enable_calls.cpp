#include "sim/binding/enable_calls.h"

#include "modules/boot_progress_pei/graphics/graphics_enable.h"
#include "sim/binding/module_symbols.h"
#include "sim/core/phase_log.h"

namespace sim {

namespace {
EnableCallLog *current_log = nullptr;
} // namespace

EnableCallLog::EnableCallLog(Machine &machine) : machine_(machine), previous_(current_log) {
  current_log = this;
}

EnableCallLog::~EnableCallLog() {
  if (current_log == this) {
    current_log = previous_;
  }
}

EnableCallLog *EnableCallLog::Current() { return current_log; }

void EnableCallLog::Record(EFI_STATUS status, double startUs) {
  calls_.push_back({status, startUs, machine_.clock.NowUs() - startUs, machine_.bus.Unclaimed()});
}

} // namespace sim

// The module's calls arrive here when the executable is linked with --wrap on
// EnableGraphicsController's symbol (generated from sim/binding/phase_functions.h, see
// sim/CMakeLists.txt).
EFI_STATUS
RealEnableGraphicsController(GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices) asm(
    "__real_" MODULE_SYMBOL_EnableGraphicsController);
EFI_STATUS
WrapEnableGraphicsController(GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices) asm(
    "__wrap_" MODULE_SYMBOL_EnableGraphicsController);

EFI_STATUS WrapEnableGraphicsController(GraphicsDeviceState *state,
                                        const EFI_PEI_SERVICES **peiServices) {
  sim::EnableCallLog *log = sim::EnableCallLog::Current();
  sim::PhaseScope phase("EnableGraphicsController");
  const double start = log ? log->Now() : 0;
  const EFI_STATUS status = RealEnableGraphicsController(state, peiServices);
  if (log != nullptr) {
    log->Record(status, start);
  }
  return status;
}
