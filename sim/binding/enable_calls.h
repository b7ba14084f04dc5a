// A record of every EnableGraphicsController call of a simulated boot: what it returned and how
// much virtual time it took. Executables that link the module with the simulator wrap the
// function at link time (ld --wrap, see sim/CMakeLists.txt), so module code carries no hook.
#pragma once

#include <vector>

#include "sim/core/machine.h"
#include "uefi/uefi_base.h"

namespace sim {

struct EnableCall {
  EFI_STATUS status = EFI_SUCCESS;
  double start_us = 0, cost_us = 0;
  // The bus's unclaimed addresses when the call returned: what went nowhere before the display
  // path existed.
  std::vector<UnclaimedAccess> unclaimed;
};

class EnableCallLog {
public:
  explicit EnableCallLog(Machine &machine);
  ~EnableCallLog();
  EnableCallLog(const EnableCallLog &) = delete;
  EnableCallLog &operator=(const EnableCallLog &) = delete;

  // The log of the board being booted, or null.
  static EnableCallLog *Current();

  const std::vector<EnableCall> &Calls() const { return calls_; }

  // Used by the wrapper around each call.
  double Now() const { return machine_.clock.NowUs(); }
  void Record(EFI_STATUS status, double startUs);

private:
  Machine &machine_;
  std::vector<EnableCall> calls_;
  EnableCallLog *previous_;
};

} // namespace sim
