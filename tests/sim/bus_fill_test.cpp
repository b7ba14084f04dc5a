// A fill (Bus::Fill) against the same writes made one at a time, on boards built alike: every
// device's contents and counts, the bus's counts and unclaimed table, virtual time, the trace and
// what observers and the invariant monitor see must be the same.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sim/core/machine.h"
#include "sim/devices/chip/dram.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/hostile/bus_monitor.h"

namespace {

using sim::Space;

struct Recorder : sim::AccessObserver {
  std::vector<std::string> seen;
  void Observe(Space space, bool write, uint64_t addr, unsigned width, uint64_t value,
               const sim::Device *decoder) override {
    seen.push_back(std::to_string(static_cast<int>(space)) + (write ? " w " : " r ") +
                   std::to_string(addr) + "/" + std::to_string(width) + "=" +
                   std::to_string(value) + " " + (decoder ? decoder->Name() : "-"));
  }
};

// What a run leaves behind, compared whole.
struct Outcome {
  std::vector<uint8_t> low, high, dram;
  std::vector<std::string> seen, violations, unclaimed, devices;
  uint64_t now = 0, io_w = 0, mmio_w = 0, unclaimed_count = 0, guest_errors = 0, bulk_w = 0,
           bulk_bytes = 0, bulk_ns = 0;
  bool saturated = false;
  std::string trace;
  bool operator==(const Outcome &) const = default;
};

// The layout: RAM at 0x10000 (0x100 bytes), a gap, RAM at 0x10200 (0x100), a byte-wide register
// bank at 0x10300, a leaf that unmaps itself on its third write at 0x10400, the chip DRAM's frame
// buffer at 0x20000000 (1 MiB of 4 MiB), and a port range at 0x500.
struct Rig {
  sim::Machine m;
  sim::RamDevice low{m.bus, 0x10000, 0x100, "low"};
  sim::RamDevice high{m.bus, 0x10200, 0x100, "high", 0xAA};
  sim::ChipDram dram;
  Recorder recorder;
  sim::BusMonitor monitor;
  std::ostringstream trace_text;
  sim::Trace trace{trace_text};
  int self_id = 0, self_writes = 0;
  std::vector<uint64_t> bytewide, ports;

  explicit Rig(bool dramUp, bool traced)
      : dram(m.bus, 4u << 20, dramUp, 1u << 20),
        monitor(m.bus,
                sim::BusMonitor::Rules{.config_base = 0xE0000000,
                                       .io = {{0x500, 0x503}},
                                       .memory = {{0x10000, 0x102FF}, {0x20000000, 0x200FFFFF}}}) {
    m.bus.MapFixed(Space::Memory, 0x20000000, &dram.Bar0Leaf());
    m.bus.Map(
        Space::Memory, 0x10300, 0x10, "bytewide", nullptr,
        [this](uint64_t o, unsigned, uint64_t v) { bytewide.push_back(o << 8 | v); }, sim::kW8);
    self_id = m.bus.Map(Space::Memory, 0x10400, 0x100, "self", nullptr,
                        [this](uint64_t, unsigned, uint64_t) {
                          if (++self_writes == 3) {
                            m.bus.Unmap(self_id);
                          }
                        });
    m.bus.Map(Space::Io, 0x500, 4, "ports", nullptr, [this](uint64_t o, unsigned w, uint64_t v) {
      ports.push_back(o << 40 | uint64_t{w} << 32 | v);
    });
    m.bus.AddObserver(&recorder);
    if (traced) {
      m.bus.SetTrace(&trace);
    }
  }

  Outcome Result() {
    Outcome o;
    o.low.assign(low.Data(), low.Data() + low.Size());
    o.high.assign(high.Data(), high.Data() + high.Size());
    o.dram.assign(dram.Data(), dram.Data() + dram.Size());
    o.seen = recorder.seen;
    o.violations = monitor.Violations();
    for (const sim::UnclaimedAccess &u : m.bus.Unclaimed()) {
      o.unclaimed.push_back(std::to_string(u.addr) + " " + u.where + " " + std::to_string(u.count));
    }
    for (const sim::Device *d : m.bus.Devices()) {
      const sim::DeviceCounts &c = d->Counts();
      o.devices.push_back(d->Name() + " " + std::to_string(c.reads) + " " +
                          std::to_string(c.writes) + " " + std::to_string(c.unclaimed) + " " +
                          std::to_string(c.guest_errors));
    }
    for (uint64_t v : bytewide) {
      o.devices.push_back("bytewide " + std::to_string(v));
    }
    for (uint64_t v : ports) {
      o.devices.push_back("port " + std::to_string(v));
    }
    o.devices.push_back("self " + std::to_string(self_writes));
    o.now = m.clock.NowNs();
    o.saturated = m.clock.Saturated();
    const sim::BusCounts &c = m.bus.Counts();
    o.io_w = c.io.writes;
    o.mmio_w = c.mmio.writes;
    o.unclaimed_count = c.unclaimed;
    o.guest_errors = c.guest_errors;
    o.bulk_w = m.bus.Bulk().writes;
    o.bulk_bytes = m.bus.Bulk().write_bytes;
    o.bulk_ns = m.bus.Bulk().write_ns;
    o.trace = trace_text.str();
    return o;
  }
};

struct FillCall {
  Space space;
  uint64_t addr;
  unsigned width;
  uint64_t count;
  uint64_t value;
};

Outcome RunCalls(const std::vector<FillCall> &calls, bool asFill, bool dramUp = true,
                 bool traced = false, sim::CostModel cost = {}) {
  Rig rig(dramUp, traced);
  rig.m.bus.SetCostModel(cost);
  for (const FillCall &f : calls) {
    if (asFill) {
      rig.m.bus.Fill(f.space, f.addr, f.width, f.count, f.value);
    } else {
      for (uint64_t i = 0; i < f.count; ++i) {
        rig.m.bus.Write(f.space, f.addr + i * f.width, f.width, f.value);
      }
    }
  }
  return rig.Result();
}

void ExpectSame(const std::vector<FillCall> &calls, bool dramUp = true, bool traced = false,
                sim::CostModel cost = {}) {
  const Outcome fill = RunCalls(calls, true, dramUp, traced, cost);
  const Outcome single = RunCalls(calls, false, dramUp, traced, cost);
  EXPECT_EQ(fill.low, single.low);
  EXPECT_EQ(fill.high, single.high);
  EXPECT_EQ(fill.dram, single.dram);
  EXPECT_EQ(fill.seen, single.seen);
  EXPECT_EQ(fill.violations, single.violations);
  EXPECT_EQ(fill.unclaimed, single.unclaimed);
  EXPECT_EQ(fill.devices, single.devices);
  EXPECT_EQ(fill.trace, single.trace);
  EXPECT_EQ(fill.now, single.now);
  EXPECT_EQ(fill.saturated, single.saturated);
  EXPECT_TRUE(fill == single) << "counts " << fill.io_w << "/" << single.io_w << " " << fill.mmio_w
                              << "/" << single.mmio_w << " " << fill.bulk_ns << "/"
                              << single.bulk_ns;
}

TEST(BusFill, RunsAcrossLeavesGapsAndRejectingLeavesAsSingleWritesDo) {
  // From inside the low RAM, across the gap and the high RAM, into the byte-wide bank (32-bit
  // writes are guest errors there) and the self-unmapping leaf (its decode goes on its third
  // write), to unclaimed space; then an unaligned run whose writes straddle each leaf's end.
  ExpectSame({{Space::Memory, 0x100F0, 4, 0x150, 0x11223344}});
  ExpectSame({{Space::Memory, 0x100F2, 4, 0x150, 0x5A5A5A5A}});
  ExpectSame({{Space::Memory, 0x10300, 1, 0x30, 0x7F}, {Space::Io, 0x4FE, 2, 5, 0xBEEF}});
}

TEST(BusFill, FrameBufferRunsMatchWhetherUniformOrNotAndWhetherTheDramIsUp) {
  const std::vector<FillCall> calls = {{Space::Memory, 0x20000000, 4, 120000, 0x01010101},
                                       {Space::Memory, 0x20010001, 4, 1000, 0x12345678},
                                       {Space::Memory, 0x200FFFF0, 4, 8, 0xFFFFFFFF},
                                       {Space::Memory, 0x200FFFF2, 2, 16, 0}};
  ExpectSame(calls, true);
  ExpectSame(calls, false);
  // Written through the fill, the frame buffer holds the bytes.
  const Outcome o = RunCalls(calls, true);
  EXPECT_EQ(o.dram[0], 1);
  EXPECT_EQ(o.dram[0x10001], 0x78);
  EXPECT_EQ(o.dram[0x10004], 0x12);
}

TEST(BusFill, AFullUnclaimedTableCountsOnlyWhatItKeeps) {
  // Five thousand distinct unclaimed addresses fill the table (4,096 kept); later runs over some
  // of them, short and long, count only those kept.
  ExpectSame({{Space::Memory, 0x30000000, 4, 5000, 1},
              {Space::Memory, 0x30000000, 4, 10, 2},
              {Space::Memory, 0x30000000 + 4 * 4000, 4, 3000, 3},
              {Space::Memory, 0x30000002, 4, 4000, 4}});
  const Outcome o = RunCalls(
      {{Space::Memory, 0x30000000, 4, 5000, 1}, {Space::Memory, 0x30000000 + 4 * 4000, 4, 3000, 3}},
      true);
  EXPECT_EQ(o.unclaimed_count, 8000u);
  ASSERT_EQ(o.unclaimed.size(), sim::Bus::kMaxUnclaimedKept);
  EXPECT_EQ(o.unclaimed[4000], std::to_string(0x30000000 + 4 * 4000) + " host 2");
  EXPECT_EQ(o.unclaimed.back(), std::to_string(0x30000000 + 4 * 4095) + " host 2");
}

TEST(BusFill, TraceAndSaturatingTimeAreThoseOfSingleWrites) {
  ExpectSame({{Space::Memory, 0x100F8, 4, 8, 0x01020304}, {Space::Io, 0x500, 1, 4, 9}}, true, true);
  // A cost so large the clock saturates within the run.
  ExpectSame({{Space::Memory, 0x10000, 4, 64, 0}}, true, false, {1000, 1000, UINT64_MAX / 16});
}

} // namespace
