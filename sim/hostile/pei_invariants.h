// The invariants of a PEI boot on the display board, checked by a bus monitor installed before the
// boot and by the state the boot leaves:
//   - writes: configuration space of the root ports 0:28.0-7, the display bridge 1:0.0, the VGA
//     function 2:0.0, the host decoders 0:5.0 and 17:29.1 and the PCH functions 0:31.x; the VGA
//     ports 0x3B0-0x3DF and the POST-code port; the chip's register window; the frame buffer
//     [0xA0000000, +480,000); the GPIO communities. Nothing else, flash included;
//   - the VGA function's BARs and the path's bridge windows inside what the bring-up opens
//     (memory 0xA0000000 to 0xFB000000, I/O 0x6000 to 0xFFFF);
//   - the HOB list walks from its PHIT to its end HOB inside its memory, and the progress record,
//     when there is one, holds marker 1 and a percentage a milestone gives;
//   - the boot ends within kPeiBootBoundNs of virtual time (docs/hostile_hardware.md).
#pragma once

#include <memory>

#include "sim/hostile/bus_monitor.h"
#include "sim/pei/pei_board.h"

namespace sim {

// Worst case of a whole boot on a lying bus: the sum of the module's named wait bounds with their
// bus costs (docs/hostile_hardware.md).
constexpr uint64_t kPeiBootBoundNs = 60ull * 1'000'000'000;

BusMonitor::Rules PeiBootRules(PeiBoard &board);

class PeiBootMonitor {
public:
  explicit PeiBootMonitor(PeiBoard &board);
  // Checks the state the boot left and its time; the bus checks ran during it.
  void Finish();
  BusMonitor &Monitor() { return monitor_; }
  bool Clean() const { return monitor_.Clean(); }
  std::string Report() const { return monitor_.Report(); }

private:
  PeiBoard &board_;
  BusMonitor monitor_;
};

} // namespace sim
