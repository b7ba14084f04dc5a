// Phases of a boot: nesting, the counts each phase owns, the floor under the cost model, and the
// timeline and report forms.
#include <gtest/gtest.h>

#include "access/mmio.h"
#include "access/port_io.h"
#include "sim/core/machine.h"
#include "sim/core/phase_report.h"
#include "sim/devices/memory/ram_device.h"

namespace {

constexpr uint64_t kRam = 0x10000;

struct PhaseBoard {
  sim::Machine machine;
  sim::RamDevice ram{machine.bus, kRam, 0x1000, "ram"};
  uint64_t stall_ns = 0;
  sim::PhaseLog log{machine.bus, [this] { return stall_ns; }};
};

TEST(PhaseLog, NestedPhasesOwnTheirChildrensCounts) {
  PhaseBoard b;
  b.log.Begin("outer");
  IoWrite8(0x80, 1);
  b.log.Begin("inner");
  MmioWrite8(kRam, 1);
  b.stall_ns += 5000;
  b.machine.clock.Advance(5000);
  b.log.End();
  MmioRead8(kRam);
  b.log.End();
  b.log.End(); // nothing open: ignored

  ASSERT_EQ(b.log.Phases().size(), 1u);
  const sim::Phase &outer = b.log.Phases()[0];
  ASSERT_EQ(outer.children.size(), 1u);
  const sim::Phase &inner = outer.children[0];
  EXPECT_EQ(outer.name, "outer");
  EXPECT_EQ(inner.name, "inner");
  EXPECT_EQ(outer.spent.io.writes, 1u);
  EXPECT_EQ(outer.spent.mmio.writes, 1u);
  EXPECT_EQ(outer.spent.mmio.reads, 1u);
  EXPECT_EQ(inner.spent.mmio.writes, 1u);
  EXPECT_EQ(inner.spent.mmio.reads, 0u);
  EXPECT_EQ(inner.spent.stall_ns, 5000u);
  EXPECT_EQ(outer.spent.stall_ns, 5000u);
  EXPECT_EQ(inner.start_ns, 1000u); // after the port write
  EXPECT_EQ(inner.spent.ns, 150u + 5000u);
  EXPECT_EQ(outer.spent.ns, 1000u + 150u + 5000u + 1000u);
}

TEST(PhaseLog, TheFloorMovesMemoryInFourByteTransactionsAndKeepsTheRest) {
  PhaseBoard b;
  const sim::CostModel cost = b.machine.bus.Cost();
  b.log.Begin("bytes");
  for (uint64_t i = 0; i < 10; ++i) {
    MmioWrite8(kRam + i, 0xAA); // 10 bytes: three transactions at best
  }
  MmioRead16(kRam);  // 2 bytes: one read
  IoWrite8(0x80, 1); // not memory: kept as it is
  b.log.End();
  b.log.Begin("dwords");
  MmioWrite32(kRam, 0);
  MmioWrite32(kRam + 4, 0);
  b.log.End();

  const sim::Phase &bytes = b.log.Phases()[0];
  EXPECT_EQ(bytes.spent.bulk.write_bytes, 10u);
  EXPECT_EQ(bytes.spent.bulk.writes, 10u);
  EXPECT_EQ(bytes.FloorNs(cost), 3 * cost.mmio_write_ns + cost.mmio_read_ns + cost.io_ns);
  const sim::Phase &dwords = b.log.Phases()[1];
  EXPECT_EQ(dwords.FloorNs(cost), dwords.spent.ns);

  const nlohmann::json total = sim::CostJson(b.log);
  EXPECT_DOUBLE_EQ(total["floor_us"].get<double>(),
                   (bytes.FloorNs(cost) + dwords.FloorNs(cost)) / 1000.0);
  EXPECT_GT(total["ratio"].get<double>(), 1.0);
}

TEST(PhaseLog, ReportTimelineAndTableShowEveryPhase) {
  PhaseBoard b;
  b.log.Begin("screen");
  b.log.Begin("image");
  MmioWrite32(kRam, 0);
  b.log.End();
  b.log.Begin("bar");
  b.log.End();
  b.log.End();
  const sim::CostModel cost = b.machine.bus.Cost();

  const nlohmann::json phases = sim::PhasesJson(b.log, cost);
  ASSERT_EQ(phases.size(), 1u);
  EXPECT_EQ(phases[0]["phases"].size(), 2u);
  EXPECT_EQ(phases[0]["phases"][0]["memory"]["bytes_written"], 4u);
  EXPECT_DOUBLE_EQ(phases[0]["phases"][0]["ratio"].get<double>(), 1.0);

  const nlohmann::json timeline = sim::TimelineJson(b.log, cost);
  const nlohmann::json &events = timeline["traceEvents"];
  ASSERT_EQ(events.size(), 3u);
  for (const nlohmann::json &e : events) {
    EXPECT_EQ(e["ph"], "X"); // complete events: a flame chart nests them by time
    EXPECT_TRUE(e["ts"].is_number());
    EXPECT_TRUE(e["dur"].is_number());
  }
  EXPECT_EQ(events[1]["name"], "image");

  const std::string table = sim::PhaseTable(b.log, cost, 1);
  EXPECT_NE(table.find("screen"), std::string::npos);
  EXPECT_EQ(table.find("image"), std::string::npos); // deeper than asked
}

} // namespace
