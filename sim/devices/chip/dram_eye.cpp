#include "sim/devices/chip/dram_eye.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

using namespace chipreg;

EyeResult EvaluateEye(const ChipConfig &config, const PhySettings *trained, PhySettings now) {
  if (trained == nullptr) {
    return {false, 0};
  }
  if (!config.ddr4) {
    return {true, 0};
  }
  const uint32_t vref = now.vref & kVrefLane0;
  const uint32_t delay = (now.delay & kDelayField) >> kDelayShift;
  if (!(*trained == now) || !config.eye_vref.Holds(vref) || !config.eye_delay.Holds(delay)) {
    return {false, 0};
  }
  const uint32_t low = vref - config.eye_vref.lo;
  const uint32_t high = config.eye_vref.hi - vref;
  return {true, low | (high << 8)};
}

} // namespace sim
