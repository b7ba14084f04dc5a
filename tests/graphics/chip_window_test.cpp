// The chip's register window and internal decode on their own, the CRTC stand-in of the bench,
// and the module's register definitions against the model's.
#include <gtest/gtest.h>

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "sim/devices/chip/chip_regs.h"
#include "tests/graphics/chip_rig.h"

namespace {

namespace reg = sim::chipreg;
using test::ChipRig;

constexpr uint32_t M = ChipRig::kMmioBase;
// SCU00 in the aperture while the window shows the SCU's page.
constexpr uint64_t kScuKeyAt = M + reg::kWindowAperture + (reg::kScuBase & 0xFFFF) + reg::kScuKey;

uint32_t Read(ChipRig &rig, uint64_t addr) {
  return static_cast<uint32_t>(rig.machine.bus.Read(sim::Space::Memory, addr, 4));
}
void Write(ChipRig &rig, uint64_t addr, uint32_t value) {
  rig.machine.bus.Write(sim::Space::Memory, addr, 4, value);
}

TEST(ChipWindow, ClosedApertureReadsAllOnesAndDropsWrites) {
  ChipRig rig;
  Write(rig, M + reg::kWindowBase, reg::kScuBase);
  EXPECT_EQ(Read(rig, kScuKeyAt), 0xFFFFFFFFu);
  Write(rig, kScuKeyAt, reg::kScuKeyValue);
  EXPECT_FALSE(rig.chip.scu.Unlocked());
  EXPECT_EQ(rig.chip.window.Counts().unclaimed, 2u);

  Write(rig, M + reg::kWindowEnable, 1);
  Write(rig, kScuKeyAt, reg::kScuKeyValue);
  EXPECT_TRUE(rig.chip.scu.Unlocked());
  EXPECT_EQ(Read(rig, kScuKeyAt), 1u);
  EXPECT_EQ(rig.chip.scu.Counts().reads, 1u);

  Write(rig, M + reg::kWindowEnable, 0); // closing it again
  EXPECT_EQ(Read(rig, kScuKeyAt), 0xFFFFFFFFu);
}

TEST(ChipWindow, BaseSelectsThePageAndKeepsOnlyItsHighHalf) {
  ChipRig rig;
  Write(rig, M + reg::kWindowEnable, 0xFFFFFFFF);
  EXPECT_EQ(Read(rig, M + reg::kWindowEnable), 1u);
  Write(rig, M + reg::kWindowBase, reg::kMcrBase | 0x2000); // low bits are not part of the base
  EXPECT_EQ(Read(rig, M + reg::kWindowBase), reg::kMcrBase);
  EXPECT_EQ(rig.chip.window.Base(), reg::kMcrBase);
  // 0x1E6E2000 lies in the same 64 KiB page: the SCU answers at aperture offset 0x2000.
  Write(rig, M + reg::kWindowAperture + 0x2000, reg::kScuKeyValue);
  EXPECT_TRUE(rig.chip.scu.Unlocked());
  Write(rig, M + reg::kWindowAperture + 0x0000, reg::kMcrKeyValue);
  EXPECT_TRUE(rig.chip.mcr.Unlocked());
  // Widths other than 32 bits are rejected by the blocks.
  rig.machine.bus.Read(sim::Space::Memory, M + reg::kWindowAperture + 0x2000, 1);
  EXPECT_EQ(rig.chip.scu.Counts().guest_errors, 1u);
}

TEST(ChipWindow, InternalAddressesNothingDecodesCountOnTheChip) {
  ChipRig rig;
  Write(rig, M + reg::kWindowEnable, 1);
  Write(rig, M + reg::kWindowBase, reg::kMcrBase);
  EXPECT_EQ(Read(rig, M + reg::kWindowAperture + reg::kMcrSize),
            0xFFFFFFFFu); // between MCR and SCU
  Write(rig, M + reg::kWindowBase, 0x1E700000);
  Write(rig, M + reg::kWindowAperture + 0x10, 0x55);
  EXPECT_EQ(rig.chip.Counts().unclaimed, 2u);
  EXPECT_EQ(rig.chip.Record().unclaimed, 2u);
  // The bar's own space outside its two parts is unclaimed on the window.
  EXPECT_EQ(Read(rig, M + 0x100), 0xFFFFFFFFu);
  EXPECT_EQ(rig.chip.window.Counts().unclaimed, 1u);
  // Each block decodes only its own size.
  Write(rig, M + reg::kWindowBase, reg::kWdtBase);
  Write(rig, M + reg::kWindowAperture + (reg::kWdtBase & 0xFFFF) + 0x4C, 7);
  EXPECT_EQ(rig.chip.wdt.regs.Get(0x4C, 4), 7u);
  Read(rig, M + reg::kWindowAperture + (reg::kWdtBase & 0xFFFF) + reg::kWdtSize);
  EXPECT_EQ(rig.chip.Counts().unclaimed, 3u);
}

TEST(ChipWindow, ResetClosesTheWindow) {
  ChipRig rig;
  Write(rig, M + reg::kWindowEnable, 1);
  Write(rig, M + reg::kWindowBase, reg::kScuBase);
  rig.machine.bus.ResetDevices();
  EXPECT_FALSE(rig.chip.window.Enabled());
  EXPECT_EQ(rig.chip.window.Base(), 0u);
}

TEST(CrtcDouble, RegisterD0ShowsTheChipStartupBits) {
  ChipRig rig;
  sim::Bus &bus = rig.machine.bus;
  auto d0 = [&] {
    bus.Write(sim::Space::Io, 0x3D4, 1, 0xD0);
    return bus.Read(sim::Space::Io, 0x3D5, 1);
  };
  EXPECT_EQ(d0(), 0u);
  EXPECT_EQ(bus.Read(sim::Space::Io, 0x3D4, 1), 0xD0u);
  rig.chip.scu.regs.Set(reg::kScuStartupFlags, 4, 0x1C1); // only bits 7:6 reach the CRTC
  rig.crtc_low_bits = 0x15;
  EXPECT_EQ(d0(), 0xD5u);
  bus.Write(sim::Space::Io, 0x3D4, 1, 0xD1);
  EXPECT_EQ(bus.Read(sim::Space::Io, 0x3D5, 1), 0u);
}

TEST(ChipRegisters, ModuleAndModelAgree) {
  EXPECT_EQ(kWindowBaseOffset, reg::kWindowBase);
  EXPECT_EQ(kWindowEnableOffset, reg::kWindowEnable);
  EXPECT_EQ(kWindowApertureOffset, reg::kWindowAperture);
  EXPECT_EQ(::kMcrBase, reg::kMcrBase);
  EXPECT_EQ(::kScuBase, reg::kScuBase);
  EXPECT_EQ(::kAhbcBase, reg::kAhbcBase);
  EXPECT_EQ(::kWdtBase, reg::kWdtBase);
  EXPECT_EQ(::kDramBase, reg::kDramBase);
  EXPECT_EQ(kScuUnlockKey, reg::kScuKeyValue);
  EXPECT_EQ(kMcrUnlockKey, reg::kMcrKeyValue);
  EXPECT_EQ(kAhbcUnlockKey, reg::kAhbcKeyValue);
  EXPECT_EQ(SCU40, reg::kScuBase + reg::kScuStartupFlags);
  EXPECT_EQ(SCU70, reg::kScuBase + reg::kScuStraps);
  EXPECT_EQ(SCU7C, reg::kScuBase + reg::kScuStrapClear);
  EXPECT_EQ(MCR04, reg::kMcrBase + reg::kMcrConfig);
  EXPECT_EQ(MCR60, reg::kMcrBase + reg::kMcrPhyControl);
  EXPECT_EQ(MCR70, reg::kMcrBase + reg::kMcrTestCommand);
  EXPECT_EQ(MCR74, reg::kMcrBase + reg::kMcrTestSetup);
  EXPECT_EQ(MCR7C, reg::kMcrBase + reg::kMcrTestPattern);
  EXPECT_EQ(MCR2C0, reg::kMcrBase + reg::kMcrPhyDelay);
  EXPECT_EQ(MCR2CC, reg::kMcrBase + reg::kMcrPhyVref);
  EXPECT_EQ(MCR300, reg::kMcrBase + reg::kMcrPhyStatus);
  EXPECT_EQ(MCR3D0, reg::kMcrBase + reg::kMcrMargins);
  EXPECT_EQ(kPhyStart, reg::kPhyStart);
}

} // namespace
