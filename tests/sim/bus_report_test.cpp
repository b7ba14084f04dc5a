// report.json's bus summary: unclaimed addresses grouped into ranges per space and device, the
// per-device counts, and virtual time that saturates instead of wrapping.
#include <gtest/gtest.h>

#include "access/port_io.h"
#include "sim/core/bus_report.h"
#include "sim/core/machine.h"
#include "sim/devices/vga/vga_dac.h"

namespace {

TEST(UnclaimedRanges, ConsecutiveAddressesOfOneDeviceMerge) {
  using sim::Space;
  const std::vector<sim::UnclaimedAccess> raw = {
      {Space::Memory, 0x1000, "host", 2},   {Space::Memory, 0x1004, "host", 1},
      {Space::Memory, 0x100C, "host", 1},   // 8 bytes on: still one run
      {Space::Memory, 0x1015, "host", 1},   // 9 bytes on: a new range
      {Space::Memory, 0x1008, "bridge", 3}, // another device, between the others
      {Space::Io, 0x1000, "host", 1},       // same address, other space
  };
  const std::vector<sim::UnclaimedRange> r = sim::GroupUnclaimed(raw);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].space, Space::Io);
  EXPECT_EQ(r[1].device, "bridge");
  EXPECT_EQ(r[1].accesses, 3u);
  EXPECT_EQ(r[2].device, "host");
  EXPECT_EQ(r[2].first, 0x1000u);
  EXPECT_EQ(r[2].last, 0x100Cu);
  EXPECT_EQ(r[2].addresses, 3u);
  EXPECT_EQ(r[2].accesses, 4u);
  EXPECT_EQ(r[3].first, 0x1015u);
}

TEST(BusSummary, ListsEveryDeviceAndTheUnclaimedAddresses) {
  sim::Machine m;
  sim::VgaDac dac(m.bus);
  IoWrite8(0x3C8, 1);
  IoRead8(0x3C9);
  for (uint16_t port = 0x600; port < 0x610; port += 4) {
    IoRead32(port);
  }
  IoRead8(0x900);
  const nlohmann::json devices = sim::DeviceSummary(m.bus);
  bool found = false;
  for (const auto &d : devices) {
    if (d["name"] == "vga-dac") {
      found = true;
      EXPECT_EQ(d["reads"], 1);
      EXPECT_EQ(d["writes"], 1);
      EXPECT_EQ(d["guest_errors"], 0);
    }
  }
  EXPECT_TRUE(found) << devices.dump();
  const nlohmann::json u = sim::UnclaimedSummary(m.bus);
  ASSERT_EQ(u["ranges"].size(), 2u) << u.dump();
  EXPECT_EQ(u["ranges"][0]["first"], "0x600");
  EXPECT_EQ(u["ranges"][0]["last"], "0x60C");
  EXPECT_EQ(u["ranges"][0]["accesses"], 4);
  EXPECT_EQ(u["ranges"][0]["space"], "io");
  EXPECT_EQ(u["ranges"][1]["first"], "0x900");
  EXPECT_EQ(u["not_listed"], 0);
}

TEST(Clock, SaturatesInsteadOfWrapping) {
  sim::Clock clock;
  clock.Advance(UINT64_MAX - 10);
  EXPECT_FALSE(clock.Saturated());
  clock.Advance(11);
  EXPECT_EQ(clock.NowNs(), UINT64_MAX);
  EXPECT_TRUE(clock.Saturated());
  clock.Advance(1);
  EXPECT_EQ(clock.NowNs(), UINT64_MAX); // never runs backwards
  clock.Reset();
  EXPECT_FALSE(clock.Saturated());
}

} // namespace
