// PCI models: configuration cycles routed by bus number through bridges, BAR sizing and decode,
// bridge windows and VGA forwarding, the host's MMIO window.
#include <gtest/gtest.h>

#include "access/mmio.h"
#include "access/pci_config.h"
#include "access/port_io.h"
#include "sim/core/machine.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/devices/pci/pci_bridge.h"
#include "sim/devices/pci/pci_host.h"

namespace {

constexpr uint64_t kConfigBase = 0x80000000;

struct Topology {
  sim::Machine m;
  sim::PciHost host{m.bus, kConfigBase};
  sim::PciBridge port{m.bus, "root port 0:28.3", {0xFEED, 0x0D1C, 0, 0}};
  sim::PciBridge bridge{m.bus, "display bridge", {0x1A03, 0x1150, 0, 0x40}};
  sim::PciFunction vga{m.bus, "vga", {0x1A03, 0x2000, 0x030000, 0x40}};
  sim::RamDevice vram{m.bus, 0x1000000, "vram"};
  sim::RamDevice io{m.bus, 0x80, "vga io"};
  Topology() {
    port.AttachTo(host.RootBus0(), 28, 3);
    bridge.AttachTo(port.Secondary(), 0, 0);
    vga.AddBar(0, sim::BarKind::Memory, 0x1000000, &vram.Leaf());
    vga.AddBar(2, sim::BarKind::Io, 0x80, &io.Leaf());
    vga.Reset();
    vga.AttachTo(bridge.Secondary(), 0, 0);
  }
  void Buses(uint8_t pri, uint8_t sec, uint8_t sub, uint8_t bpri, uint8_t bsec, uint8_t bsub) {
    PciPortWrite8(0, 28, 3, 0x18, pri);
    PciPortWrite8(0, 28, 3, 0x19, sec);
    PciPortWrite8(0, 28, 3, 0x1A, sub);
    PciPortWrite8(bsec == 0 ? 0 : sec, 0, 0, 0x18, bpri);
    PciPortWrite8(sec, 0, 0, 0x19, bsec);
    PciPortWrite8(sec, 0, 0, 0x1A, bsub);
  }
};

TEST(PciRouting, ConfigCyclesFollowBusNumbers) {
  Topology t;
  EXPECT_EQ(PciPortRead32(1, 0, 0, 0), 0xFFFFFFFFu); // the root port forwards nothing yet
  PciPortWrite8(0, 28, 3, 0x19, 1);
  PciPortWrite8(0, 28, 3, 0x1A, 2);
  EXPECT_EQ(PciPortRead32(1, 0, 0, 0), 0x11501A03u); // type 1 to type 0 on bus 1
  EXPECT_EQ(PciPortRead32(2, 0, 0, 0), 0xFFFFFFFFu); // the display bridge has no bus yet
  PciPortWrite8(1, 0, 0, 0x19, 2);
  PciPortWrite8(1, 0, 0, 0x1A, 2);
  EXPECT_EQ(PciPortRead16(2, 0, 0, 2), 0x2000u);
  // ECAM reaches the same functions.
  EXPECT_EQ(MmioRead32(PciEcamAddress(kConfigBase, 2, 0, 0, 0)), 0x20001A03u);
  EXPECT_EQ(MmioRead8(PciEcamAddress(kConfigBase, 2, 0, 0, 8)), 0x40u);
  // Narrowing the subordinate range cuts bus 2 off.
  PciPortWrite8(0, 28, 3, 0x1A, 1);
  EXPECT_EQ(PciPortRead32(2, 0, 0, 0), 0xFFFFFFFFu);
  EXPECT_GT(t.host.MasterAborts(), 0u);
  EXPECT_EQ(t.m.bus.Counts().guest_errors, 0u);
}

TEST(PciConfigMechanism, OnlyADwordWriteLatchesTheAddressAndLanesSelectBytes) {
  Topology t;
  IoWrite32(0xCF8, 0x80000000 | (28u << 11) | (3u << 8) | 0x00);
  EXPECT_EQ(IoRead16(0xCFE), 0x0D1Cu);
  EXPECT_EQ(IoRead8(0xCFD), 0xFEu);
  IoWrite8(0xCF8, 0x08); // not a latch; rejected
  EXPECT_EQ(IoRead32(0xCF8), 0x8000E300u);
  EXPECT_EQ(t.m.bus.Counts().guest_errors, 1u);
  IoWrite32(0xCF8, 0x0000E300); // enable bit clear: the data ports answer nothing
  EXPECT_EQ(IoRead32(0xCFC), 0xFFFFFFFFu);
}

TEST(PciBars, SizingReadsTheMaskAndFlagsAreReadOnly) {
  Topology t;
  t.Buses(0, 1, 2, 1, 2, 2);
  PciPortWrite32(2, 0, 0, 0x10, 0xFFFFFFFF);
  EXPECT_EQ(PciPortRead32(2, 0, 0, 0x10), 0xFF000000u);
  PciPortWrite32(2, 0, 0, 0x18, 0xFFFFFFFF);
  EXPECT_EQ(PciPortRead32(2, 0, 0, 0x18), 0xFFFFFF81u);
  PciPortWrite32(2, 0, 0, 0x14, 0xFFFFFFFF); // no BAR1 here
  EXPECT_EQ(PciPortRead32(2, 0, 0, 0x14), 0u);
}

TEST(PciBridges, ForwardMemoryAndIoInTheirWindowsOnlyWhenEnabled) {
  Topology t;
  t.Buses(0, 1, 2, 1, 2, 2);
  PciPortWrite32(2, 0, 0, 0x10, 0xA0000000);
  PciPortWrite32(2, 0, 0, 0x18, 0x6000);
  PciPortWrite16(2, 0, 0, 0x04, 0x7);
  // Host decoders for 0x90000000 up to 0xFB00FFFF.
  PciPortWrite32(17, 29, 1, 0x40, 0xFB000049);
  MmioWrite16(PciEcamAddress(kConfigBase, 0, 5, 0, 0x10C), 0x9000);
  MmioWrite16(PciEcamAddress(kConfigBase, 0, 5, 0, 0x10E), 0xFB00);
  EXPECT_TRUE(t.host.MmioWindow().open);
  MmioWrite8(0xA0000000, 0x5A);
  EXPECT_EQ(t.vram.At(0), 0); // bridges' windows still closed
  for (uint8_t bus : {0, 1}) {
    const uint8_t dev = bus == 0 ? 28 : 0, fn = bus == 0 ? 3 : 0;
    PciPortWrite16(bus, dev, fn, 0x20, 0xA000);
    PciPortWrite16(bus, dev, fn, 0x22, 0xA100);
    PciPortWrite8(bus, dev, fn, 0x1C, 0x60);
    PciPortWrite8(bus, dev, fn, 0x1D, 0x60);
  }
  MmioWrite8(0xA0000000, 0x5A);
  EXPECT_EQ(t.vram.At(0), 0); // memory space not enabled on the bridges
  PciPortWrite16(0, 28, 3, 0x04, 0x3);
  PciPortWrite16(1, 0, 0, 0x04, 0x3);
  MmioWrite8(0xA0000001, 0x5A);
  EXPECT_EQ(t.vram.At(1), 0x5A);
  IoWrite8(0x6004, 0x33);
  EXPECT_EQ(t.io.At(4), 0x33);
  EXPECT_EQ(MmioRead8(0xA1000000), 0xFFu); // inside the windows, beyond the 16 MiB BAR
  EXPECT_EQ(t.bridge.Counts().unclaimed, 1u);
  // VGA forwarding needs bridge control's VGA enable on both bridges.
  EXPECT_EQ(t.m.bus.RegionName(sim::Space::Io, 0x3C0), "");
  PciPortWrite16(0, 28, 3, 0x3E, 0x08);
  PciPortWrite16(1, 0, 0, 0x3E, 0x08);
  EXPECT_TRUE(t.bridge.VgaForwarding(sim::BarKind::Io));
  // Closing the root port's window (base above limit) cuts the frame buffer off again.
  PciPortWrite16(0, 28, 3, 0x20, 0x0010);
  PciPortWrite16(0, 28, 3, 0x22, 0x0000);
  MmioWrite8(0xA0000002, 0x5A);
  EXPECT_EQ(t.vram.At(2), 0);
  EXPECT_EQ(t.m.bus.Counts().guest_errors, 0u);
}

TEST(PciHostWindow, NeedsBothDecodersAndStartsAboveTheConfigurationSpace) {
  Topology t;
  EXPECT_FALSE(t.host.MmioWindow().open);
  EXPECT_EQ(PciPortRead32(0, 5, 0, 0x90), 0x80000000u);
  PciPortWrite32(0, 5, 0, 0x90, 0); // read-only
  EXPECT_EQ(PciPortRead32(0, 5, 0, 0x90), 0x80000000u);
  PciPortWrite32(17, 29, 1, 0x40, 0xFB000049);
  EXPECT_FALSE(t.host.MmioWindow().open); // 0:5.0 not programmed: its range is below the base
  MmioWrite16(PciEcamAddress(kConfigBase, 0, 5, 0, 0x10C), 0x9000);
  MmioWrite16(PciEcamAddress(kConfigBase, 0, 5, 0, 0x10E), 0xFB00);
  const auto w = t.host.MmioWindow();
  EXPECT_TRUE(w.open);
  EXPECT_EQ(w.base, 0x90000000u);
  EXPECT_EQ(w.limit, 0xFB00FFFFu);
  PciPortWrite32(17, 29, 1, 0x40, 0xFB000048); // rule disabled
  EXPECT_FALSE(t.host.MmioWindow().open);
}

} // namespace
