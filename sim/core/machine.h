// The simulated board's core: virtual clock, bus and processor. Exactly one machine is current at
// a time; the access layer's simulator backend sends every module access to it.
#pragma once

#include "sim/core/bus.h"
#include "sim/core/clock.h"
#include "sim/core/cpu_model.h"

namespace sim {

class Machine {
public:
  Machine();
  ~Machine();
  Machine(const Machine &) = delete;
  Machine &operator=(const Machine &) = delete;

  // The current machine; aborts when there is none (a module ran outside a simulated board).
  static Machine &Current();

  Clock clock;
  Bus bus{clock};
  CpuModel cpu{clock};
};

} // namespace sim
