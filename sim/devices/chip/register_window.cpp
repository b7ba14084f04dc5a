#include "sim/devices/chip/register_window.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

using namespace chipreg;

namespace {
constexpr uint32_t kEnableReg = kWindowEnable - kWindowControl;
constexpr uint32_t kBaseReg = kWindowBase - kWindowControl;
} // namespace

ChipRegisterWindow::ChipRegisterWindow(Bus &bus, Region &internalBus)
    : Device(bus, "chip-window"), regs(kWindowControlSize),
      bar_(Region::Container(this, "chip-window", kWindowBarSize)),
      control_(regs.Leaf(this, "chip-window-control")),
      aperture_(Region::Alias(this, "chip-window-aperture", &internalBus, 0, kWindowApertureSize)) {
  regs.Define({kEnableReg, 4, 0, kWindowEnableBit, 0});
  regs.Define({kBaseReg, 4, 0, kWindowBaseMask, 0});
  const auto written = [this](uint64_t, uint64_t) {
    Apply();
    if (on_control_write) {
      on_control_write();
    }
  };
  regs.OnWrite(kEnableReg, written);
  regs.OnWrite(kBaseReg, written);
  bar_.AddSubregion(kWindowControl, &control_);
  bar_.AddSubregion(kWindowAperture, &aperture_);
  Apply();
}

bool ChipRegisterWindow::Enabled() const {
  return (regs.Get(kEnableReg, 4) & kWindowEnableBit) != 0;
}

uint32_t ChipRegisterWindow::Base() const { return static_cast<uint32_t>(regs.Get(kBaseReg, 4)); }

// Moving the alias only when the page changes keeps the bus's flattened view valid across the
// window writes that precede every access.
void ChipRegisterWindow::Apply() {
  aperture_.SetAliasOffset(Base());
  aperture_.SetEnabled(Enabled());
}

void ChipRegisterWindow::Reset() {
  regs.Reset();
  Apply();
}

} // namespace sim
