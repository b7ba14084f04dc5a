// The ACPI I/O decode step and the TSC measurement against the PM timer.
#include <gtest/gtest.h>

#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/tsc_frequency.h"
#include "sim/core/module_globals.h"
#include "tests/smm/smm_fixture.h"

using namespace smmtest;

namespace {
double RelativeError(uint64_t measured, uint64_t actual) {
  return (static_cast<double>(measured) - static_cast<double>(actual)) /
         static_cast<double>(actual);
}
} // namespace

TEST(AcpiDecode, OffIsSetToTheBoardBaseAndEnabled) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  ASSERT_FALSE(board.pmc.DecodeEnabled());
  board.Load(DriverEntry);
  EXPECT_EQ(board.pmc.AcpiBase(), 0x500);
  EXPECT_TRUE(board.pmc.DecodeEnabled());
  EXPECT_EQ(board.pmc.ConfigWrites(), 2u);
  EXPECT_EQ(board.pm_timer.Port(), 0x508);
  EXPECT_EQ(board.machine.bus.Counts().guest_errors, 0u);
}

TEST(AcpiDecode, AlreadyOnWritesNothingAndTheTimerIsStillRead) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.pmc.SetState(0x500, true);
  board.Load(DriverEntry);
  EXPECT_EQ(board.pmc.ConfigWrites(), 0u);
  EXPECT_GT(board.pm_timer.ReadCount(), 2u);
  EXPECT_LT(std::abs(RelativeError(TscFrequency, board.smm.tsc_hz)), 0.01);
}

TEST(AcpiDecode, AlreadyOnElsewhereKeepsTheBaseAndTheWaitEnds) {
  // The platform put the block at 0x1800: nothing is moved, port 0x508 reads all ones and the
  // measurement gives up instead of spinning; the load carries on.
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.pmc.SetState(0x1800, true);
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(board.pmc.ConfigWrites(), 0u);
  EXPECT_EQ(board.pmc.AcpiBase(), 0x1800);
  EXPECT_EQ(TscFrequency, 0u);
  EXPECT_EQ(board.sink.Calls().size(), 48u);
}

TEST(TscMeasurement, WaitsAcrossThe24BitWrap) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.pmc.SetState(0x500, true);
  sim::RestoreFreshModuleGlobals();
  board.pm_timer.SetCount(0xFFFF00);
  MeasureTscFrequency();
  const std::vector<uint32_t> &reads = board.pm_timer.Reads();
  ASSERT_GE(reads.size(), 3u);
  EXPECT_EQ(reads.front(), 0xFFFF00u);
  EXPECT_GE(reads.back(), 0x66u); // 358 ticks past the start, after the wrap
  EXPECT_LT(reads.back(), 0x66u + 8);
  const uint32_t beforeLast = reads[reads.size() - 2];
  EXPECT_TRUE(beforeLast < 0x66u || beforeLast >= 0xFFFF00u) << std::hex << beforeLast;
  EXPECT_LT(std::abs(RelativeError(TscFrequency, board.smm.tsc_hz)), 0.01);
}

TEST(TscMeasurement, MeasuredRateIsWithinOnePercentOfTheBoards) {
  for (uint64_t hz : {1'000'000'000ull, 2'400'000'000ull, 3'700'000'000ull}) {
    sim::SmmBoard board(ScenarioWith({{"tsc_hz", hz}}));
    board.Load(DriverEntry);
    EXPECT_LT(std::abs(RelativeError(TscFrequency, hz)), 0.01)
        << hz << " measured " << TscFrequency;
  }
}

TEST(TscMeasurement, InterruptFlagIsPutBackAsItWas) {
  for (bool on : {false, true}) {
    sim::SmmBoard board(ScenarioWith(nullptr));
    board.pmc.SetState(0x500, true);
    board.machine.cpu.SetInterruptsEnabled(on);
    MeasureTscFrequency();
    EXPECT_EQ(board.machine.cpu.InterruptsEnabled(), on);
  }
}

TEST(TscMeasurement, StuckTimerEndsTheWaitWithNoRate) {
  sim::SmmBoard board(ScenarioWith(nullptr)); // decode off: port 0x508 reads all ones
  sim::RestoreFreshModuleGlobals();
  EXPECT_EQ(MeasureTscFrequency(), EFI_NOT_READY);
  EXPECT_EQ(TscFrequency, 0u);
  EXPECT_GE(board.machine.cpu.PauseCount(), kPmTimerPollLimit);
}
