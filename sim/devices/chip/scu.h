// The BMC chip's system control unit (SCU, internal 0x1E6E2000, 32-bit registers):
//   SCU00  protection key: writing 0x5C3E91D7 unlocks the SCU and SCU00 reads 1; any other value
//          locks it and SCU00 reads 0. While locked, writes to every other SCU register are
//          ignored.
//   SCU40  start-up flags; bits 7:6 are what extended CRTC register 0xD0 shows the host
//          (bit 7: started, bit 6: running).
//   SCU70  hardware straps, latched from the board at power-on (bit 24 DDR4, bits 23, 25, 27);
//          writing 1s sets strap bits.
//   SCU7C  strap clear: writing 1s clears those SCU70 bits; reads 0.
//   Every other register (SCU08, SCU0C, SCU20 memory PLL, SCU90, SCU94, SCU160, ...) stores
//   its value.
// Faults: scu_never_unlocks (the key is never taken), never_started (SCU40 bit 6 never reads set).
#pragma once

#include <functional>

#include "sim/core/bus.h"
#include "sim/core/register_file.h"
#include "sim/devices/chip/chip_scenario.h"

namespace sim {

class ChipScu : public Device {
public:
  ChipScu(Bus &bus, const ChipConfig &config);

  Region &Leaf() { return leaf_; }
  bool Unlocked() const;
  uint32_t Straps() const;
  // SCU40 bits 7:6 as the host sees them in CRTC 0xD0 (the other bits 0).
  uint8_t StartupState() const;
  void Reset() override;

  RegisterFile regs;
  // Called when a write sets SCU40 bit 6 (the start-up flags).
  std::function<void()> on_flags_set;

private:
  uint64_t ReadStartupFlags(uint64_t stored) const;

  const ChipConfig &config_;
  Region leaf_;
};

} // namespace sim
