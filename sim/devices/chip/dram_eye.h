// Whether the chip's DRAM works under the PHY settings in force, as its test engine finds it.
// DDR3 works once the PHY is initialised. DDR4 works only when the PHY completed an
// initialisation with the settings now in force and both settings lie inside the eye: the
// reference (MCR2CC low byte) in eye.vref and the delay (MCR2C0 bits 15:8) in eye.delay.
// A passing DDR4 test reports its margins on the reference: byte 0 the distance to the low
// edge, byte 1 to the high edge.
#pragma once

#include <cstdint>

#include "sim/devices/chip/chip_scenario.h"

namespace sim {

struct PhySettings {
  uint32_t vref;  // MCR2CC
  uint32_t delay; // MCR2C0
  bool operator==(const PhySettings &) const = default;
};

struct EyeResult {
  bool passes;
  uint32_t margins; // MCR3D0
};

// `trained`: the settings of the last PHY initialisation that completed without error, if the
// last initialisation did.
EyeResult EvaluateEye(const ChipConfig &config, const PhySettings *trained, PhySettings now);

} // namespace sim
