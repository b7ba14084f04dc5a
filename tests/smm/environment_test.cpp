// The driver's environment: the HOB-list cache, pool by where it lives, the PCD copy, and the
// load-time steps when interfaces are missing.
#include <gtest/gtest.h>

#include <cstring>

#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/hob_list_lookup.h"
#include "modules/dimm_report_smm/processor_topology.h"
#include "modules/dimm_report_smm/smram_pool.h"
#include "sim/core/module_globals.h"
#include "tests/smm/smm_fixture.h"

using namespace smmtest;

TEST(HobListCache, FoundOnceThenServedFromTheCache) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  sim::RestoreFreshModuleGlobals();
  SystemTable = board.core.SystemTable();
  EXPECT_EQ(GetHobList(), board.hobs.Head());
  board.core.SetHobList(nullptr); // the table changes; the cache does not
  EXPECT_EQ(GetHobList(), board.hobs.Head());
}

TEST(HobListCache, AbsentGuidRescansOnEveryCall) {
  sim::SmmBoard board(ScenarioWith({{"missing", {"hob_list"}}}));
  sim::RestoreFreshModuleGlobals();
  SystemTable = board.core.SystemTable();
  EXPECT_EQ(GetHobList(), nullptr);
  EXPECT_EQ(GetHobList(), nullptr);
  board.core.SetHobList(board.hobs.Head());
  EXPECT_EQ(GetHobList(), board.hobs.Head());
}

TEST(SmramPool, MapDescribesTheCoresRangesAndDecidesWhereAFreeGoes) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.Load(DriverEntry);
  ASSERT_EQ(SmramRangeCount, board.core.SmramMap().size());
  EXPECT_EQ(std::memcmp(SmramRanges, board.core.SmramMap().data(),
                        SmramRangeCount * sizeof(EFI_SMRAM_DESCRIPTOR)),
            0);
  const uint64_t base = board.core.Pool().ArenaBase(), size = board.core.Pool().ArenaSize();
  EXPECT_TRUE(IsBufferInSmram(base));
  EXPECT_TRUE(IsBufferInSmram(base + size - 1));
  EXPECT_FALSE(IsBufferInSmram(base + size));
  EXPECT_FALSE(IsBufferInSmram(base - 1));

  VOID *buffer = AllocateSmramPool(64);
  ASSERT_NE(buffer, nullptr);
  ReleasePool(buffer);
  EXPECT_FALSE(board.core.Pool().Live(buffer));
  EXPECT_EQ(board.core.BootPoolFrees(), 0u);
  int outside = 0;
  ReleasePool(&outside);
  EXPECT_EQ(board.core.BootPoolFrees(), 1u); // not SMRAM: handed to the boot services
}

TEST(SmramPool, FailedAllocationIsNull) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.core.Pool().fail_allocations = true;
  sim::RestoreFreshModuleGlobals();
  EXPECT_EQ(AllocateSmramPool(32), nullptr); // no SMM services yet
  SmmServices = board.core.Smst();
  EXPECT_EQ(AllocateSmramPool(32), nullptr);
}

TEST(PcdCopy, CopiesTheValueAndBoundsItTo136Bytes) {
  {
    sim::SmmBoard board(ScenarioWith({{"pcd7", "00112233445566778899"}}));
    board.Load(DriverEntry);
    const uint8_t expected[10] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};
    EXPECT_EQ(std::memcmp(PcdPointerCopy, expected, 10), 0);
    EXPECT_EQ(PcdPointerCopy[10], 0);
  }
  {
    std::string hex;
    for (int i = 0; i < 200; ++i) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02x", i);
      hex += pair;
    }
    sim::SmmBoard board(ScenarioWith({{"pcd7", hex}}));
    EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
    for (int i = 0; i < 136; ++i) {
      ASSERT_EQ(PcdPointerCopy[i], i);
    }
  }
}

TEST(LoadTimeSteps, CapturePlatformInterfacesAndTheEcamBase) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.Load(DriverEntry);
  EXPECT_EQ(PciExpressBase, 0x80000000u);
  EXPECT_EQ(PlatformSmmInterfaceA, &board.platform_smm_a);
  EXPECT_EQ(PlatformSmmInterfaceB, &board.platform_smm_b);
  EXPECT_EQ(PlatformBootValue, sim::SmmBoard::kPlatformBootValue);
  EXPECT_EQ(SmmServices, board.core.Smst());
}

TEST(LoadTimeSteps, SecondPlatformInterfaceOnlyInSmm) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.core.in_smm = false;
  board.Load(DriverEntry);
  EXPECT_EQ(PlatformSmmInterfaceB, nullptr);
  EXPECT_EQ(board.sink.Calls().size(), 48u);
}

// Each interface the steps rely on, left out in turn: the step is skipped, nothing is called
// through a null pointer, and the report still runs.
class MissingInterface : public ::testing::TestWithParam<std::string> {};

TEST_P(MissingInterface, LoadStillRunsTheReport) {
  sim::SmmBoard board(ScenarioWith({{"missing", {GetParam()}}}));
  const EFI_STATUS status = board.Load(DriverEntry);
  if (GetParam() == "hob_list") {
    EXPECT_EQ(status, EFI_DEVICE_ERROR);
    return;
  }
  EXPECT_EQ(status, EFI_SUCCESS);
  // Without the SMM system table no SMM lookup can be made; otherwise every record arrives.
  EXPECT_EQ(board.sink.Calls().size(), GetParam() == "smm_base2" ? 0u : 48u);
  EXPECT_EQ(board.core.Pool().Counts().bad_frees + board.core.BootPoolFrees(), 0u);
  EXPECT_EQ(board.machine.bus.Counts().guest_errors, 0u);
}

INSTANTIATE_TEST_SUITE_P(EachInterface, MissingInterface,
                         ::testing::ValuesIn(sim::SmmInterfaceNames()));

TEST(LoadTimeSteps, MissingPcdSkipsTheEcamStep) {
  sim::SmmBoard board(ScenarioWith({{"missing", {"pcd"}}}));
  board.Load(DriverEntry);
  EXPECT_EQ(PciExpressBase, 0u);
  EXPECT_EQ(board.machine.bus.Counts().mmio.reads + board.machine.bus.Counts().mmio.writes, 0u);
  EXPECT_EQ(TscFrequency, 0u); // no decode, no timer
}

TEST(LoadTimeSteps, MissingCpuServiceLeavesEverySlotDisabled) {
  sim::SmmBoard board(ScenarioWith({{"missing", {"smm_cpu_service"}}}));
  board.Load(DriverEntry);
  EXPECT_EQ(CpuService, nullptr);
  EXPECT_EQ(ProcessorSlots[0].Valid, 1u);
  EXPECT_EQ(ProcessorSlots[0].Enabled, 0);
}

TEST(LoadTimeSteps, FailedSmramMapAllocationLeavesNoMapAndFreesNothing) {
  sim::SmmBoard board(ScenarioWith({{"topology_hob", false}}));
  board.core.Pool().fail_allocations = true;
  EXPECT_EQ(board.Load(DriverEntry), EFI_DEVICE_ERROR);
  EXPECT_EQ(SmramRanges, nullptr);
  EXPECT_EQ(SmramRangeCount, 0u);
  EXPECT_EQ(board.core.Calls("SmmFreePool") + board.core.Calls("FreePool"), 0u);
}
