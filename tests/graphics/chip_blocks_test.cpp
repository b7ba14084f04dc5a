// The chip's register blocks on their own, through their guest-side register files: keys and
// locks, straps, start-up flags, the PHY, the test engine and the cache, and their faults.
#include <gtest/gtest.h>

#include "sim/core/machine.h"
#include "sim/devices/chip/bmc_chip.h"
#include "sim/devices/chip/chip_regs.h"
#include "tests/graphics/chip_rig.h"

namespace {

namespace reg = sim::chipreg;

sim::ChipConfig Chip(const std::string &keys) {
  return test::ChipConfigFrom(R"({"display": {"chip": {)" + keys + "}}}");
}

struct Bench {
  explicit Bench(const sim::ChipConfig &c = {}) : chip(machine.bus, c) {}
  sim::RegisterFile &Scu() { return chip.scu.regs; }
  sim::RegisterFile &Mcr() { return chip.mcr.regs; }
  uint32_t Scu(uint32_t r) { return static_cast<uint32_t>(Scu().Read(r, 4)); }
  uint32_t Mcr(uint32_t r) { return static_cast<uint32_t>(Mcr().Read(r, 4)); }
  void UnlockMcr() { Mcr().Write(reg::kMcrKey, 4, reg::kMcrKeyValue); }
  // Reads MCR60 until bit 0 clears; the number of reads that showed it set.
  int PhyBusyReads(int limit = 100) {
    int n = 0;
    while ((Mcr(reg::kMcrPhyControl) & 1) != 0 && n < limit) {
      ++n;
    }
    return n;
  }
  // Starts a test and reads MCR70 until it shows a status; the status (0 when none shows).
  uint32_t RunTest(uint32_t command, int limit = 100) {
    Mcr().Write(reg::kMcrTestCommand, 4, 0);
    Mcr().Write(reg::kMcrTestCommand, 4, command);
    for (int i = 0; i < limit; ++i) {
      const uint32_t v = Mcr(reg::kMcrTestCommand) & reg::kTestStatus;
      if (v != 0) {
        return v;
      }
    }
    return 0;
  }
  sim::Machine machine;
  sim::BmcChip chip;
};

TEST(ChipScu, KeyUnlocksAndAnyOtherValueLocksAgain) {
  Bench b;
  b.Scu().Write(reg::kScuMemoryPll, 4, 0x93002400);
  EXPECT_EQ(b.Scu(reg::kScuMemoryPll), 0u); // locked at power-on
  EXPECT_EQ(b.Scu(reg::kScuKey), 0u);
  b.Scu().Write(reg::kScuKey, 4, reg::kScuKeyValue);
  EXPECT_EQ(b.Scu(reg::kScuKey), 1u);
  for (uint32_t r : {reg::kScuClocks, reg::kScuMisc, reg::kScuMemoryPll, reg::kScu90, reg::kScu94,
                     reg::kScuMemoryPllExtension}) {
    b.Scu().Write(r, 4, 0xA5A50000 | r);
    EXPECT_EQ(b.Scu(r), 0xA5A50000 | r) << r;
  }
  b.Scu().Write(reg::kScuKey, 4, 0x1);
  EXPECT_EQ(b.Scu(reg::kScuKey), 0u);
  b.Scu().Write(reg::kScuMemoryPll, 4, 0);
  EXPECT_EQ(b.Scu(reg::kScuMemoryPll), 0xA5A50020u);
}

TEST(ChipScu, StrapsComeFromTheBoardAndAreSetAndClearedByWrites) {
  {
    Bench b(Chip(R"("straps": "0x08800000")"));
    EXPECT_EQ(b.Scu(reg::kScuStraps), 0x09800000u); // DDR4 by default
    b.Scu().Write(reg::kScuStraps, 4, 0x02000000);  // locked: ignored
    b.Scu().Write(reg::kScuStrapClear, 4, 0x08000000);
    EXPECT_EQ(b.Scu(reg::kScuStraps), 0x09800000u);
    b.Scu().Write(reg::kScuKey, 4, reg::kScuKeyValue);
    b.Scu().Write(reg::kScuStrapClear, 4, 0x08000000);
    EXPECT_EQ(b.Scu(reg::kScuStraps), 0x01800000u);
    EXPECT_EQ(b.Scu(reg::kScuStrapClear), 0u);
    b.Scu().Write(reg::kScuStraps, 4, 0x02000000); // 1s set, 0s leave alone
    EXPECT_EQ(b.Scu(reg::kScuStraps), 0x03800000u);
    b.machine.bus.ResetDevices();
    EXPECT_EQ(b.Scu(reg::kScuStraps), 0x09800000u);
  }
  Bench ddr3(Chip(R"("ddr4": false)"));
  EXPECT_EQ(ddr3.Scu(reg::kScuStraps), 0u);
}

TEST(ChipScu, StartupFlagsReachTheCrtcAndTheNeverStartedFaultHidesBit6) {
  {
    Bench b;
    b.Scu().Write(reg::kScuKey, 4, reg::kScuKeyValue);
    b.Scu().Write(reg::kScuStartupFlags, 4, 0xC1);
    EXPECT_EQ(b.chip.StartupState(), 0xC0);
  }
  {
    Bench stuck(Chip(R"("never_started": true)"));
    stuck.Scu().Write(reg::kScuKey, 4, reg::kScuKeyValue);
    stuck.Scu().Write(reg::kScuStartupFlags, 4, 0xC1);
    EXPECT_EQ(stuck.chip.StartupState(), 0x80);
    EXPECT_EQ(stuck.Scu(reg::kScuStartupFlags), 0x81u);
  }
  Bench never(Chip(R"("scu_never_unlocks": true)"));
  never.Scu().Write(reg::kScuKey, 4, reg::kScuKeyValue);
  EXPECT_EQ(never.Scu(reg::kScuKey), 0u);
  never.Scu().Write(reg::kScuStartupFlags, 4, 0xC1);
  EXPECT_EQ(never.Scu(reg::kScuStartupFlags), 0u);
}

TEST(ChipBlocks, BusControllerKeyAndWatchdogsStoreValues) {
  Bench b;
  sim::RegisterFile &ahbc = b.chip.ahbc.regs;
  ahbc.Write(0x84, 4, 0x00010000);
  EXPECT_EQ(ahbc.Read(0x84, 4), 0u);
  ahbc.Write(reg::kAhbcKey, 4, reg::kAhbcKeyValue);
  EXPECT_EQ(ahbc.Read(reg::kAhbcKey, 4), 1u);
  ahbc.Write(0x84, 4, 0x00010000);
  EXPECT_EQ(ahbc.Read(0x84, 4), 0x00010000u);
  sim::RegisterFile &wdt = b.chip.wdt.regs;
  for (uint32_t r : {0x04u, 0x08u, 0x0Cu, 0x1Cu, 0x2Cu, 0x4Cu}) {
    wdt.Write(r, 4, 0x100 + r);
    EXPECT_EQ(wdt.Read(r, 4), 0x100 + r);
  }
}

TEST(ChipMcr, KeyGuardsEveryOtherRegister) {
  {
    Bench b;
    b.Mcr().Write(reg::kMcrPhyControl, 4, reg::kPhyStart);
    EXPECT_FALSE(b.chip.mcr.PhyBusy());
    EXPECT_EQ(b.Mcr(reg::kMcrKey), 0u);
    b.UnlockMcr();
    EXPECT_EQ(b.Mcr(reg::kMcrKey), 1u);
    b.Mcr().Write(0x34, 4, 0x00020080);
    EXPECT_EQ(b.Mcr(0x34), 0x00020080u);
  }
  Bench never(Chip(R"("mcr_never_unlocks": true)"));
  never.UnlockMcr();
  EXPECT_EQ(never.Mcr(reg::kMcrKey), 0u);
  never.Mcr().Write(0x34, 4, 0x00020080);
  EXPECT_EQ(never.Mcr(0x34), 0u);
}

TEST(ChipMcr, PhyIsBusyForAFewReadsAndItsFirstInitialisationsMayFail) {
  {
    Bench b(Chip(R"("phy_errors": 2)"));
    b.UnlockMcr();
    for (int init = 0; init < 3; ++init) {
      b.Mcr().Write(reg::kMcrPhyControl, 4, reg::kPhyStart);
      EXPECT_EQ(b.PhyBusyReads(), 3);
      EXPECT_EQ(b.Mcr(reg::kMcrPhyStatus) & reg::kPhyInitFailed,
                init < 2 ? reg::kPhyInitFailed : 0u);
      EXPECT_EQ(b.chip.dram.Up(), init == 2);
    }
    // A stop while busy aborts the initialisation: it never completes.
    b.Mcr().Write(reg::kMcrPhyControl, 4, reg::kPhyStart);
    b.Mcr().Write(reg::kMcrPhyControl, 4, 0);
    EXPECT_EQ(b.PhyBusyReads(), 0);
    EXPECT_EQ(b.chip.mcr.Trained(), nullptr);
    EXPECT_EQ(b.chip.mcr.PhyInitialisations(), 3u);
  }
  Bench stuck(Chip(R"("phy_stuck_busy": true)"));
  stuck.UnlockMcr();
  stuck.Mcr().Write(reg::kMcrPhyControl, 4, reg::kPhyStart);
  EXPECT_EQ(stuck.PhyBusyReads(1000), 1000);
}

TEST(ChipMcr, TestEngineAnswersFromTheEyeAndKeepsItsCommand) {
  {
    Bench b;
    b.UnlockMcr();
    // Nothing initialised: the burst test fails and keeps its command.
    EXPECT_EQ(b.RunTest(0xC9), reg::kTestFailed);
    EXPECT_EQ(b.Mcr(reg::kMcrTestCommand), 0x20C9u);
    // Initialised inside the eye: done, margins of the reference setting.
    b.Mcr().Write(reg::kMcrPhyVref, 4, 0x5353);
    b.Mcr().Write(reg::kMcrPhyDelay, 4, 0x1206);
    b.Mcr().Write(reg::kMcrPhyControl, 4, reg::kPhyStart);
    b.PhyBusyReads();
    EXPECT_EQ(b.RunTest(0xC1), reg::kTestDone);
    EXPECT_EQ(b.Mcr(reg::kMcrMargins), 0x0C03u); // 0x53 - 0x50, 0x5F - 0x53
    b.Mcr().Write(reg::kMcrTestCommand, 4, 0);
    EXPECT_EQ(b.Mcr(reg::kMcrTestCommand), 0u);
    // A setting changed after the initialisation is not the one trained.
    b.Mcr().Write(reg::kMcrPhyDelay, 4, 0x1306);
    EXPECT_EQ(b.RunTest(0x85), reg::kTestFailed);
    b.Mcr().Write(reg::kMcrPhyControl, 4, reg::kPhyStart);
    b.PhyBusyReads();
    EXPECT_EQ(b.RunTest(0x85), reg::kTestDone);
    // Outside the eye.
    b.Mcr().Write(reg::kMcrPhyVref, 4, 0x6060);
    b.Mcr().Write(reg::kMcrPhyControl, 4, reg::kPhyStart);
    b.PhyBusyReads();
    EXPECT_EQ(b.RunTest(0xC1), reg::kTestFailed);
    EXPECT_EQ(b.Mcr(reg::kMcrMargins), 0u);
  }
  Bench never(Chip(R"("ddr4": false, "test_never_done": true)"));
  never.UnlockMcr();
  EXPECT_EQ(never.RunTest(0xC1, 1000), 0u);
}

TEST(ChipMcr, CacheReadyFollowsItsInitialisation) {
  {
    Bench b;
    b.UnlockMcr();
    b.Mcr().Write(reg::kMcrConfig, 4, 0x313);
    EXPECT_EQ(b.Mcr(reg::kMcrConfig), 0x313u);
    b.Mcr().Write(reg::kMcrConfig, 4, 0x1313 | reg::kConfigCacheReady); // bit 19 is read-only
    EXPECT_EQ(b.Mcr(reg::kMcrConfig), 0x1313u);
    EXPECT_EQ(b.Mcr(reg::kMcrConfig), 0x1313u);
    EXPECT_EQ(b.Mcr(reg::kMcrConfig), 0x81313u);
    b.Mcr().Write(reg::kMcrConfig, 4, 0x713);
    EXPECT_EQ(b.Mcr(reg::kMcrConfig), 0x80713u);
  }
  Bench never(Chip(R"("cache_never_ready": true)"));
  never.UnlockMcr();
  never.Mcr().Write(reg::kMcrConfig, 4, 0x1000);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(never.Mcr(reg::kMcrConfig) & reg::kConfigCacheReady, 0u);
  }
}

TEST(ChipMcr, StartedByTheBmcTheControllerIsConfiguredAndTrained) {
  Bench b(Chip(R"("started_by_bmc": true, "size_mib": 512)"));
  EXPECT_EQ(b.Mcr(reg::kMcrConfig) & reg::kConfigSizeCode, 2u);
  EXPECT_NE(b.Mcr(reg::kMcrConfig) & reg::kConfigCacheReady, 0u);
  ASSERT_NE(b.chip.mcr.Trained(), nullptr);
  EXPECT_EQ(b.chip.mcr.Trained()->vref, 0x5757u);
  EXPECT_EQ(b.chip.mcr.Trained()->delay, 0x1C06u);
  EXPECT_EQ(b.Scu(reg::kScuStartupFlags), 0xC1u);
  const nlohmann::json j = b.chip.RecordJson();
  EXPECT_EQ(j["started_by"], "bmc");
  EXPECT_EQ(j["dram"]["size_code"], 2);
  EXPECT_TRUE(j["attempts"].empty());
}

} // namespace
