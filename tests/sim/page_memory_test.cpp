// Memory filled on first touch: each object holds its own bytes, a refill restores the fill at
// the same address, and a board's memories read as their power-on contents.
#include <gtest/gtest.h>

#include "sim/core/clock.h"
#include "sim/core/page_memory.h"
#include "sim/devices/chip/dram.h"
#include "sim/devices/memory/flash.h"
#include "sim/devices/memory/ram_device.h"

namespace {

constexpr uint64_t kMiB = 1u << 20;

TEST(PageMemory, ReadsItsFillEverywhereAndKeepsWritesToItself) {
  for (uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x5A}}) {
    sim::PageMemory a(3 * kMiB + 100, fill);
    sim::PageMemory b(3 * kMiB + 100, fill);
    for (uint64_t at : {uint64_t{0}, kMiB - 1, kMiB, 2 * kMiB + 17, 3 * kMiB + 99}) {
      EXPECT_EQ(a[at], fill) << at;
    }
    a[kMiB] = static_cast<uint8_t>(fill ^ 0x81);
    a[3 * kMiB + 99] = 0x42;
    EXPECT_EQ(b[kMiB], fill) << "one memory's write shows in another of the same fill";
    EXPECT_EQ(b[3 * kMiB + 99], fill);
    // A larger memory of the same fill reads its fill beyond the first one's end too.
    sim::PageMemory c(5 * kMiB, fill);
    EXPECT_EQ(c[kMiB], fill);
    EXPECT_EQ(c[5 * kMiB - 1], fill);
    EXPECT_EQ(a[kMiB], static_cast<uint8_t>(fill ^ 0x81));
  }
}

TEST(PageMemory, RefillRestoresTheFillAtTheSameAddress) {
  sim::PageMemory m(2 * kMiB, 0xFF);
  uint8_t *const before = m.Data();
  m[0] = 0;
  m[2 * kMiB - 1] = 1;
  m.Refill();
  EXPECT_EQ(m.Data(), before) << "an emulated processor maps these bytes by address";
  EXPECT_EQ(m[0], 0xFF);
  EXPECT_EQ(m[2 * kMiB - 1], 0xFF);
}

TEST(PageMemory, BoardMemoriesStartAsPowerOnAndResetBack) {
  sim::Clock clock;
  sim::Bus bus(clock);
  sim::FlashDevice first(bus);
  first.Load(sim::FlashDevice::kBase + 0x10000, {1, 2, 3}, "first");
  sim::Bus other(clock);
  sim::FlashDevice second(other);
  EXPECT_EQ(second.Byte(sim::FlashDevice::kBase + 0x10000), sim::FlashDevice::kErased)
      << "a volume loaded into one board's flash shows in another's";
  EXPECT_EQ(first.Byte(sim::FlashDevice::kBase + 0x10002), 3);

  sim::Bus ramBus(clock);
  sim::RamDevice ram(ramBus, 0x1000, 4 * kMiB, "ram", 0xA5);
  ram.Data()[123] = 0;
  ram.Reset();
  EXPECT_EQ(ram.At(123), 0xA5);
  EXPECT_THROW(ram.At(4 * kMiB), std::out_of_range);
}

} // namespace
