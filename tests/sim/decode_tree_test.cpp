// The decode tree: priorities, aliases, containers' defaults, moving regions, per-device counts.
#include <gtest/gtest.h>

#include "access/mmio.h"
#include "access/port_io.h"
#include "sim/core/machine.h"
#include "sim/devices/memory/ram_device.h"

namespace {

struct Probe : sim::Device {
  explicit Probe(sim::Bus &bus, const char *name, uint64_t answer)
      : Device(bus, name), answer(answer),
        leaf(sim::Region::Leaf(
            this, name, 0x100, [this](uint64_t offset, unsigned) { return this->answer + offset; },
            [this](uint64_t offset, unsigned, uint64_t value) {
              last = {offset, value};
            },
            sim::kW8 | sim::kW32)) {}
  void Reset() override { last = {}; }
  uint64_t answer;
  std::pair<uint64_t, uint64_t> last{};
  sim::Region leaf;
};

TEST(DecodeTree, HigherPriorityWinsAndLaterAddedWinsATie) {
  sim::Machine m;
  Probe low(m.bus, "low", 0x1000), high(m.bus, "high", 0x2000), later(m.bus, "later", 0x3000);
  m.bus.Root(sim::Space::Memory).AddSubregion(0x10000, &low.leaf, 0);
  m.bus.Root(sim::Space::Memory).AddSubregion(0x10080, &high.leaf, 5);
  EXPECT_EQ(MmioRead8(0x10000), 0x00);     // 0x1000 + 0, low byte
  EXPECT_EQ(MmioRead32(0x10080), 0x2000u); // high covers low's upper half
  EXPECT_EQ(MmioRead32(0x10170), 0x20F0u);
  m.bus.Root(sim::Space::Memory).AddSubregion(0x10000, &later.leaf, 0);
  EXPECT_EQ(MmioRead32(0x10004), 0x3004u); // same priority as low, added later
  EXPECT_EQ(MmioRead32(0x10084), 0x2004u); // high still wins
  later.leaf.SetEnabled(false);
  EXPECT_EQ(MmioRead32(0x10004), 0x1004u);
}

TEST(DecodeTree, AliasShowsItsTargetFromAnOffsetAndFollowsMoves) {
  sim::Machine m;
  Probe dev(m.bus, "dev", 0);
  sim::Region bus = sim::Region::Container(&dev, "secondary", 0x100000000ull);
  bus.AddSubregion(0xA0000000, &dev.leaf);
  sim::Region window = sim::Region::Alias(&dev, "window", &bus, 0xA0000000, 0x100000);
  m.bus.Root(sim::Space::Memory).AddSubregion(0xA0000000, &window);
  EXPECT_EQ(MmioRead32(0xA0000010), 0x10u);
  // Inside the window but outside every leaf behind it: the container's default, counted on dev.
  EXPECT_EQ(MmioRead32(0xA0000400), 0xFFFFFFFFu);
  EXPECT_EQ(dev.Counts().unclaimed, 1u);
  // The device's BAR moves: the window still covers it.
  dev.leaf.SetOffset(0xA0000800);
  EXPECT_EQ(MmioRead32(0xA0000010), 0xFFFFFFFFu);
  EXPECT_EQ(MmioRead32(0xA0000810), 0x10u);
  // The window shrinks below it.
  window.SetSize(0x800);
  EXPECT_EQ(MmioRead32(0xA0000810), 0xFFFFFFFFu);
  EXPECT_EQ(m.bus.Counts().unclaimed, 3u);
  EXPECT_EQ(dev.Counts().unclaimed, 2u); // the last one never reached dev's bus
}

TEST(DecodeTree, DeviceCountsAndGuestErrors) {
  sim::Machine m;
  Probe dev(m.bus, "dev", 0);
  m.bus.MapFixed(sim::Space::Io, 0x500, &dev.leaf);
  IoWrite8(0x510, 9);
  IoRead16(0x510); // not an accepted width
  IoRead32(0x504);
  EXPECT_EQ(dev.last, (std::pair<uint64_t, uint64_t>{0x10, 9}));
  EXPECT_EQ(dev.Counts().writes, 1u);
  EXPECT_EQ(dev.Counts().reads, 1u);
  EXPECT_EQ(dev.Counts().guest_errors, 1u);
  EXPECT_EQ(m.bus.Counts().guest_errors, 1u);
  EXPECT_EQ(m.bus.RegionName(sim::Space::Io, 0x500), "dev");
  // An access that runs past the leaf's end reaches no register whole: the guest's error.
  EXPECT_EQ(IoRead32(0x5FE), 0xFFFFFFFFu);
  EXPECT_EQ(dev.Counts().guest_errors, 2u);
  EXPECT_TRUE(m.bus.Unclaimed().empty());
}

TEST(DecodeTree, DestroyedRegionsLeaveTheTree) {
  sim::Machine m;
  {
    sim::RamDevice ram(m.bus, 0x2000, 0x100, "scratch");
    MmioWrite8(0x2000, 7);
    EXPECT_EQ(MmioRead8(0x2000), 7);
  }
  EXPECT_EQ(MmioRead8(0x2000), 0xFF);
  sim::RamDevice again(m.bus, 0x2000, 0x100, "again"); // the fixed range is free again
  EXPECT_EQ(MmioRead8(0x2000), 0);
}

} // namespace
