// The bus: decode by address, unclaimed and wrong-width accesses, costs, counts and the trace.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "access/mmio.h"
#include "access/port_io.h"
#include "sim/core/machine.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/devices/vga/vga_dac.h"

namespace {

TEST(Bus, UnclaimedReadsAreAllOnesAndWritesAreDropped) {
  sim::Machine m;
  EXPECT_EQ(IoRead8(0x80), 0xFF);
  EXPECT_EQ(IoRead16(0x1234), 0xFFFF);
  EXPECT_EQ(MmioRead32(0xFED00000), 0xFFFFFFFFu);
  EXPECT_EQ(MmioRead64(0x1000), ~0ull);
  MmioWrite32(0x1000, 5);
  EXPECT_EQ(m.bus.Counts().unclaimed, 5u);
}

TEST(Bus, RamIsLittleEndianAtEveryWidth) {
  sim::Machine m;
  sim::RamDevice ram(m.bus, 0x10000, 0x100, "ram");
  MmioWrite32(0x10000, 0x11223344);
  EXPECT_EQ(ram.At(0), 0x44);
  EXPECT_EQ(MmioRead16(0x10002), 0x1122);
  MmioWrite64(0x10008, 0x0102030405060708ull);
  EXPECT_EQ(MmioRead8(0x1000F), 0x01);
  // An access running past the region's end is not decoded.
  EXPECT_EQ(MmioRead32(0x100FE), 0xFFFFFFFFu);
}

TEST(Bus, AnAccessRunningPastALeafsEndIsAGuestErrorNotUnclaimed) {
  sim::Machine m;
  sim::RamDevice ram(m.bus, 0x10000, 0x100, "ram");
  MmioWrite32(0x100FE, 0x11223344);
  EXPECT_EQ(ram.At(0xFE), 0);
  EXPECT_EQ(MmioRead32(0x100FC), 0u); // whole, inside the leaf
  EXPECT_EQ(MmioRead16(0x100FF), 0xFFFFu);
  EXPECT_EQ(ram.Counts().guest_errors, 2u);
  EXPECT_EQ(m.bus.Counts().guest_errors, 2u);
  EXPECT_EQ(m.bus.Counts().unclaimed, 0u);
}

TEST(Bus, WrongWidthIsAGuestError) {
  sim::Machine m;
  sim::VgaDac dac(m.bus);
  IoWrite16(0x3C8, 0x0102);
  EXPECT_EQ(IoRead16(0x3C8), 0xFFFF);
  EXPECT_EQ(m.bus.Counts().guest_errors, 2u);
  EXPECT_EQ(dac.Palette()[1], (sim::Rgb6{}));
}

TEST(Bus, OverlappingRegionsAreRefused) {
  sim::Machine m;
  sim::RamDevice ram(m.bus, 0x1000, 0x1000, "a");
  EXPECT_THROW(sim::RamDevice(m.bus, 0x1FFF, 0x10, "b"), std::logic_error);
  sim::RamDevice next(m.bus, 0x2000, 0x10, "c"); // adjacent is fine
  EXPECT_EQ(m.bus.RegionName(sim::Space::Memory, 0x2000), "c");
}

TEST(Bus, HandlersMayUnmapTheirOwnRegion) {
  sim::Machine m;
  int id = 0;
  int writes = 0;
  id = m.bus.Map(sim::Space::Io, 0x500, 4, "self-removing", nullptr,
                 [&](uint64_t, unsigned, uint64_t) {
                   ++writes;
                   m.bus.Unmap(id);
                 });
  IoWrite8(0x500, 1);
  IoWrite8(0x500, 1);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(m.bus.Counts().unclaimed, 1u);
}

TEST(Bus, EachAccessCostsVirtualTime) {
  sim::Machine m;
  IoRead8(0x80);
  EXPECT_EQ(m.clock.NowNs(), 1000u);
  MmioWrite8(0xA0000000, 0);
  EXPECT_EQ(m.clock.NowNs(), 1150u);
  MmioRead8(0xA0000000);
  EXPECT_EQ(m.clock.NowNs(), 2150u);
  m.bus.SetCostModel({10, 20, 30});
  IoWrite8(0x80, 0);
  EXPECT_EQ(m.clock.NowNs(), 2160u);
}

TEST(Bus, TraceHasOneJsonObjectPerAccess) {
  sim::Machine m;
  sim::VgaDac dac(m.bus);
  std::ostringstream out;
  sim::Trace trace(out);
  m.bus.SetTrace(&trace);
  IoWrite8(0x3C8, 7);
  MmioRead16(0xA0000000);
  m.bus.RecordService("Stall", 1000);
  std::istringstream lines(out.str());
  std::string line;
  std::vector<nlohmann::json> records;
  while (std::getline(lines, line)) {
    records.push_back(nlohmann::json::parse(line));
  }
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]["kind"], "io");
  EXPECT_EQ(records[0]["op"], "w");
  EXPECT_EQ(records[0]["addr"], "0x3C8");
  EXPECT_EQ(records[0]["value"], "0x7");
  EXPECT_EQ(records[0]["device"], "vga-dac");
  EXPECT_EQ(records[0]["t_us"], 1.0);
  EXPECT_EQ(records[1]["kind"], "mmio");
  EXPECT_EQ(records[1]["width"], 2);
  EXPECT_EQ(records[1]["value"], "0xFFFF");
  EXPECT_EQ(records[1]["device"], "host"); // nothing decodes it
  EXPECT_EQ(records[2]["kind"], "service");
  EXPECT_EQ(records[2]["op"], "Stall");
}

TEST(VgaDac, KeepsSixBitsAndStepsTheIndex) {
  sim::Machine m;
  sim::VgaDac dac(m.bus);
  IoWrite8(0x3C8, 255);
  for (uint8_t v : {0xFF, 0x40, 0x3F, 0x01, 0x02, 0x03}) {
    IoWrite8(0x3C9, v);
  }
  EXPECT_EQ(dac.Palette()[255], (sim::Rgb6{0x3F, 0x00, 0x3F}));
  EXPECT_EQ(dac.Palette()[0], (sim::Rgb6{1, 2, 3})); // the index wraps
  IoWrite8(0x3C7, 255);
  EXPECT_EQ(IoRead8(0x3C9), 0x3F);
  EXPECT_EQ(IoRead8(0x3C9), 0x00);
  EXPECT_EQ(IoRead8(0x3C9), 0x3F);
  EXPECT_EQ(IoRead8(0x3C9), 1);
  // Setting the write index restarts the component sequence.
  IoWrite8(0x3C8, 9);
  IoWrite8(0x3C9, 5);
  IoWrite8(0x3C8, 10);
  IoWrite8(0x3C9, 6);
  IoWrite8(0x3C9, 7);
  IoWrite8(0x3C9, 8);
  EXPECT_EQ(dac.Palette()[9], (sim::Rgb6{}));
  EXPECT_EQ(dac.Palette()[10], (sim::Rgb6{6, 7, 8}));
  EXPECT_EQ(IoRead8(0x3C8), 11);
}

TEST(CpuModel, TscRunsWithVirtualTime) {
  sim::Machine m;
  m.cpu.SetTscHz(3'000'000'000);
  m.clock.Advance(1'000'000); // 1 ms
  EXPECT_EQ(m.cpu.ReadTsc(), 3'000'000u);
  m.cpu.SetCpuid(0xB, 1, {1, 2, 3, 4});
  m.cpu.SetCpuid(1, 0, {5, 6, 7, 8});
  EXPECT_EQ(m.cpu.Cpuid(0xB, 1).Ebx, 2u);
  EXPECT_EQ(m.cpu.Cpuid(0xB, 0).Ebx, 0u);
  EXPECT_EQ(m.cpu.Cpuid(1, sim::CpuModel::kAnySubLeaf).Eax, 5u);
}

} // namespace
