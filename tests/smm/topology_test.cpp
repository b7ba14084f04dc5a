// The processor-topology step: CPUID widths, the table it fills, and processors or widths that
// do not fit the table.
#include <gtest/gtest.h>

#include "modules/dimm_report_smm/processor_topology.h"
#include "sim/core/module_globals.h"
#include "tests/smm/smm_fixture.h"

using namespace smmtest;
using nlohmann::json;

namespace {
json Processors(const std::vector<uint32_t> &apicIds) {
  json list = json::array();
  for (uint32_t id : apicIds) {
    list.push_back({{"apic_id", id}, {"enabled", true}});
  }
  return list;
}

int FilledEntries() {
  int n = 0;
  for (const PackageTopology &p : ProcessorTopologyTable) {
    for (uint32_t c = 0; c < kTopologyCores; ++c) {
      for (uint32_t t = 0; t < kTopologyThreads; ++t) {
        n += p.CpuPresent[c][t];
      }
    }
  }
  return n;
}

void ExpectEntry(uint32_t package, uint32_t core, uint32_t thread, uint64_t number,
                 uint32_t apicId) {
  const PackageTopology &p = ProcessorTopologyTable[package];
  EXPECT_EQ(p.CpuPresent[core][thread], 1);
  EXPECT_EQ(p.CpuNumber[core][thread], number);
  EXPECT_EQ(p.CpuApicId[core][thread], apicId);
  EXPECT_EQ(p.CpuStatus[core][thread], kCpuStatusFilled);
}

// Leaf 0x0B with the given SMT and core shifts.
json Leaf0B(uint32_t smtShift, uint32_t coreShift) {
  return {{"0xb.0", {smtShift, 2, 0x100, 0}},
          {"0xb.1", {coreShift, 16, 0x201, 0}},
          {"0xb.2", {0, 0, 2, 0}}};
}

std::pair<UINT64, UINT64> Bits(const json &cpuid) {
  sim::SmmBoard board(ScenarioWith({{"cpuid", cpuid}}));
  UINT64 threadBits = 99, coreBits = 99;
  EXPECT_EQ(GetProcessorTopologyBits(&threadBits, &coreBits), EFI_SUCCESS);
  return {threadBits, coreBits};
}
} // namespace

TEST(Topology, DefaultBoardFillsOneEntryPerProcessor) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.Load(DriverEntry);
  EXPECT_EQ(MaxCoresPerPackage, 8u);
  EXPECT_EQ(MaxLogicalPerPackage, 16u);
  EXPECT_EQ(FilledEntries(), 64);
  ExpectEntry(3, 7, 1, 63, 0x3F);
  ExpectEntry(1, 2, 0, 20, 0x14);
  EXPECT_EQ(ProcessorSlots[63].Enabled, 1);
  EXPECT_EQ(ProcessorSlots[64].Enabled, 0);
  EXPECT_EQ(ProcessorSlots[511].Valid, 1u);
  EXPECT_EQ(ProcessorSlotsValid, 1u);
}

TEST(Topology, WithoutHyperThreadingEachApicIdIsAPackage) {
  sim::SmmBoard board(ScenarioWith({{"cpuid", {{"0x1", {0xF01, 0, 0, 0}}}},
                                    {"processors", Processors({0, 1, 2, 3, 4, 0x102})}}));
  board.Load(DriverEntry);
  EXPECT_EQ(MaxCoresPerPackage, 1u);
  EXPECT_EQ(MaxLogicalPerPackage, 1u);
  EXPECT_EQ(FilledEntries(), 4);
  ExpectEntry(0, 0, 0, 0, 0);
  ExpectEntry(1, 0, 0, 1, 1);
  ExpectEntry(2, 0, 0, 5, 0x102); // low 8 bits 2: the later processor takes the entry
  ExpectEntry(3, 0, 0, 3, 3);
}

TEST(Topology, Leaf0BShiftsOneAndSixFillTheTablesExactly) {
  EXPECT_EQ(Bits(Leaf0B(1, 6)), (std::pair<UINT64, UINT64>{1, 5}));
  std::vector<uint32_t> ids;
  for (uint32_t p = 0; p < 4; ++p) {
    for (uint32_t core = 0; core < 32; ++core) {
      for (uint32_t t = 0; t < 2; ++t) {
        ids.push_back(p << 6 | core << 1 | t);
      }
    }
  }
  sim::SmmBoard board(ScenarioWith({{"cpuid", Leaf0B(1, 6)}, {"processors", Processors(ids)}}));
  board.Load(DriverEntry);
  EXPECT_EQ(MaxCoresPerPackage, 32u);
  EXPECT_EQ(MaxLogicalPerPackage, 64u);
  EXPECT_EQ(FilledEntries(), 256);
  ExpectEntry(3, 31, 1, 255, 0xFF);
}

TEST(Topology, DisabledOrFailingProcessorsAreLeftOut) {
  sim::SmmBoard board(ScenarioWith({{"processors",
                                     {{{"apic_id", 0}, {"enabled", true}},
                                      {{"apic_id", 1}, {"enabled", false}},
                                      {{"apic_id", 2}, {"enabled", true}},
                                      {{"apic_id", 3}, {"enabled", true}}}}}));
  board.cpu_service.failing = {2};
  board.Load(DriverEntry);
  EXPECT_EQ(FilledEntries(), 2);
  EXPECT_EQ(ProcessorSlots[0].Enabled, 1);
  EXPECT_EQ(ProcessorSlots[1].Enabled, 0);
  EXPECT_EQ(ProcessorSlots[2].Enabled, 0);
  EXPECT_EQ(ProcessorSlots[3].Enabled, 1);
  EXPECT_EQ(ProcessorTopologyTable[0].CpuPresent[0][1], 0);
}

TEST(TopologyBits, LegacyLeavesWhenLeaf0BIsMissingOrEmpty) {
  // Leaf 1: 16 logical; leaf 4: 8 cores -> 2 threads per core.
  EXPECT_EQ(Bits({{"0x0", {4, 0, 0, 0}}}), (std::pair<UINT64, UINT64>{1, 3}));
  EXPECT_EQ(Bits({{"0xb.0", {1, 0, 0x100, 0}}}), (std::pair<UINT64, UINT64>{1, 3}));
  // Below leaf 4 there is one core.
  EXPECT_EQ(Bits({{"0x0", {2, 0, 0, 0}}}), (std::pair<UINT64, UINT64>{4, 0}));
}

TEST(TopologyBits, Leaf0BWithoutACoreLevelLeavesCoreBitsZero) {
  EXPECT_EQ(Bits({{"0xb.1", {0, 0, 0x001, 0}}}), (std::pair<UINT64, UINT64>{1, 0}));
  // A level list that never ends (every sub-leaf an SMT level) still returns.
  EXPECT_EQ(
      Bits({{"0xb.0", {1, 2, 0x100, 0}}, {"0xb.1", {1, 2, 0x100, 0}}, {"0xb.2", {1, 2, 0x100, 0}}}),
      (std::pair<UINT64, UINT64>{1, 0}));
}

TEST(TopologyBits, MissingDestinationIsRefused) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  UINT64 bits = 0;
  EXPECT_EQ(GetProcessorTopologyBits(&bits, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(GetProcessorTopologyBits(nullptr, &bits), EFI_INVALID_PARAMETER);
}

// Widths and counts beyond the tables: entries that do not fit are left out, shifts of 32 or
// more behave as the shift instructions do (count mod 32). ASan and UBSan watch the indexing.
TEST(TopologyBounds, CoreBitsAboveFiveKeepCoresBeyond31OutOfTheTable) {
  // SMT shift 1, core shift 7: CoreBits 6, 64 cores per package claimed.
  sim::SmmBoard board(ScenarioWith(
      {{"cpuid", Leaf0B(1, 7)}, {"processors", Processors({0x00, 40u << 1, 31u << 1 | 1})}}));
  board.Load(DriverEntry);
  EXPECT_EQ(MaxCoresPerPackage, 64u);
  EXPECT_EQ(FilledEntries(), 2);
  ExpectEntry(0, 31, 1, 2, 31u << 1 | 1);
}

TEST(TopologyBounds, LogicalBitsAboveSixKeepThreadsBeyond63OutOfTheTable) {
  // SMT shift 7, core shift 8: ThreadBits 7, CoreBits 1, 256 logical per package claimed.
  sim::SmmBoard board(
      ScenarioWith({{"cpuid", Leaf0B(7, 8)}, {"processors", Processors({5, 100, 1u << 7 | 63})}}));
  board.Load(DriverEntry);
  EXPECT_EQ(MaxLogicalPerPackage, 256u);
  EXPECT_EQ(FilledEntries(), 2);
  ExpectEntry(0, 0, 5, 0, 5);
  ExpectEntry(0, 1, 63, 2, 1u << 7 | 63);
}

TEST(TopologyBounds, MoreThan512ProcessorsStayWithinTheSlots) {
  std::vector<uint32_t> ids;
  for (uint32_t i = 0; i < 600; ++i) {
    ids.push_back(i);
  }
  sim::SmmBoard board(ScenarioWith({{"processors", Processors(ids)}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(board.cpu_service.Calls(), 600u);
  EXPECT_EQ(ProcessorSlots[511].Enabled, 1);
  EXPECT_EQ(FilledEntries(), 64); // APIC IDs 0 to 63 fit 4 x 8 x 2; the rest are beyond package 3
}

TEST(TopologyBounds, PerCoreOfZeroGivesThirtyTwoThreadBits) {
  // Leaf 1 says 4 logical, leaf 4 says 8 cores: 4 / 8 = 0 per core, width(0xFFFFFFFF) = 32.
  const json cpuid = {{"0x0", {4, 0, 0, 0}}, {"0x1", {0xF01, 4u << 16, 0, 1u << 28}}};
  EXPECT_EQ(Bits(cpuid), (std::pair<UINT64, UINT64>{32, 3}));
  sim::SmmBoard board(ScenarioWith({{"cpuid", cpuid}, {"processors", Processors({0, 1, 9})}}));
  board.Load(DriverEntry);
  EXPECT_EQ(MaxCoresPerPackage, 8u);
  EXPECT_EQ(MaxLogicalPerPackage, 8u); // 1 << (35 mod 32)
  // Shifts by 35 act as shifts by 3: APIC ID 9 is package 1; thread mask 1 << 32 - 1 is 0.
  ExpectEntry(0, 0, 0, 0, 0);
  ExpectEntry(0, 1, 0, 1, 1);
  ExpectEntry(1, 1, 0, 2, 9);
}
