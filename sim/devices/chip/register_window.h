// The register window in the display controller's second memory BAR: the host's way onto the
// BMC chip's internal bus. Two control registers, the enable at +0xF000 (bit 0) and the base at
// +0xF004 (internal address bits 31:16), and a 64 KiB aperture from +0x10000 that shows the
// internal bus from the base while the window is enabled. A closed window's aperture decodes
// nothing: reads are all ones, writes are dropped, both count as unclaimed on the window.
// The aperture is an alias onto the internal bus, so the bus's trace names the block behind it.
#pragma once

#include <functional>

#include "sim/core/bus.h"
#include "sim/core/register_file.h"

namespace sim {

class ChipRegisterWindow : public Device {
public:
  // `internalBus` is the region the aperture shows.
  ChipRegisterWindow(Bus &bus, Region &internalBus);

  // What BAR1 places on the bus.
  Region &Bar1Region() { return bar_; }
  bool Enabled() const;
  uint32_t Base() const;
  void Reset() override;

  RegisterFile regs;
  // Called on every write to a control register, which precedes every access the module makes.
  std::function<void()> on_control_write;

private:
  void Apply();

  Region bar_;
  Region control_;
  Region aperture_;
};

} // namespace sim
