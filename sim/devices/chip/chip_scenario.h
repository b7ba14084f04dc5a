// The BMC chip's settings in a board scenario, under "display": {"chip": {...}}. Every key is
// optional:
//   started_by_bmc  true: the BMC started the chip before the host runs (SCU40 = 0xC1, DRAM up);
//                   false (default): the module has to start it
//   ddr4            DRAM type, true (default) for DDR4, false for DDR3; also strap SCU70 bit 24
//   straps          further SCU70 strap bits: any of bits 23, 25, 27 (default 0)
//   size_mib        DRAM size: 128, 256, 512, 1024 (default) or 2048
//   eye             {"vref": [lo, hi], "delay": [lo, hi]}: the PHY settings under which DDR4
//                   memory works (MCR2CC low byte, MCR2C0 bits 15:8); default vref 0x50-0x5F,
//                   delay 0x10-0x29
// Faults (all default off):
//   dead_passes     the first N passes of each training search find nothing
//   phy_errors      the first N PHY initialisations report failure
//   verify_failures the first N verification runs fail
//   scu_never_unlocks, mcr_never_unlocks, phy_stuck_busy, test_never_done, cache_never_ready,
//   never_started   (SCU40 bit 6 never reads set): parts of the chip that stop answering
// A value that cannot be used throws ScenarioError naming the file and the key.
#pragma once

#include <cstdint>

#include "sim/core/scenario.h"

namespace sim {

struct ChipRange {
  uint32_t lo;
  uint32_t hi;
  bool Holds(uint32_t v) const { return v >= lo && v <= hi; }
};

struct ChipFaults {
  uint32_t dead_passes = 0;
  uint32_t phy_errors = 0;
  uint32_t verify_failures = 0;
  bool scu_never_unlocks = false;
  bool mcr_never_unlocks = false;
  bool phy_stuck_busy = false;
  bool test_never_done = false;
  bool cache_never_ready = false;
  bool never_started = false;
};

struct ChipConfig {
  bool started_by_bmc = false;
  bool ddr4 = true;
  uint32_t straps = 0; // SCU70 bits 23, 25, 27
  uint32_t size_mib = 1024;
  ChipRange eye_vref = {0x50, 0x5F};
  ChipRange eye_delay = {0x10, 0x29};
  ChipFaults faults;

  uint64_t SizeBytes() const { return uint64_t{size_mib} << 20; }
};

// The chip's settings of `scenario` (the defaults when it has no "display.chip").
ChipConfig ParseChipConfig(const Scenario &scenario);

} // namespace sim
