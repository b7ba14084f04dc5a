// The chip start-up code against the chip model: what it does for each start-up state, the
// register window's access pattern, the strap-dependent steps, bring-up attempts, size
// detection and the two training searches.
#include <gtest/gtest.h>

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_startup.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"
#include "modules/boot_progress_pei/graphics/dram_phy.h"
#include "modules/boot_progress_pei/graphics/dram_test_engine.h"
#include "sim/devices/chip/chip_regs.h"
#include "tests/graphics/chip_rig.h"

namespace {

using test::ChipAccess;
using test::ChipConfigFrom;
using test::ChipRig;

sim::ChipConfig Chip(const std::string &keys) {
  return ChipConfigFrom(R"({"display": {"chip": {)" + keys + "}}}");
}

uint32_t Mcr(ChipRig &rig, uint32_t offset) {
  return static_cast<uint32_t>(rig.chip.mcr.regs.Get(offset, 4));
}
uint32_t Scu(ChipRig &rig, uint32_t offset) {
  return static_cast<uint32_t>(rig.chip.scu.regs.Get(offset, 4));
}

// Runs StartController on a chip with `config`, tracing every access when asked to.
struct Started {
  enum Trace { kTraced, kUntraced };
  explicit Started(const sim::ChipConfig &config, Trace trace = kTraced) : rig(config) {
    if (trace == kTraced) {
      rig.StartTrace();
    }
    status = StartController(&rig.state, rig.Services());
    accesses = rig.Accesses();
  }
  size_t Count(char op, uint32_t addr, int64_t value = -1) const {
    size_t n = 0;
    for (const ChipAccess &a : accesses) {
      n += a.op == op && a.addr == addr && (value < 0 || a.value == static_cast<uint32_t>(value));
    }
    return n;
  }
  // Index of the first access matching, or accesses.size().
  size_t First(char op, uint32_t addr, int64_t value = -1) const {
    for (size_t i = 0; i < accesses.size(); ++i) {
      const ChipAccess &a = accesses[i];
      if (a.op == op && a.addr == addr && (value < 0 || a.value == static_cast<uint32_t>(value))) {
        return i;
      }
    }
    return accesses.size();
  }
  ChipRig rig;
  EFI_STATUS status;
  std::vector<ChipAccess> accesses;
};

TEST(ChipStartup, StartsAnUnstartedChipAndDefaultEyeTrainsToItsMiddle) {
  Started s(Chip(""), Started::kUntraced);
  ASSERT_EQ(s.status, EFI_SUCCESS);
  EXPECT_EQ(s.rig.chip.StartupState(), 0xC0);
  EXPECT_EQ(Scu(s.rig, 0x40), 0xC1u);
  EXPECT_EQ(Mcr(s.rig, 0x2CC), 0x5757u);
  EXPECT_EQ(Mcr(s.rig, 0x2C0), 0x00001D06u);
  EXPECT_EQ(Mcr(s.rig, 0x04) & 0x3, 3u);                 // 1 GiB
  EXPECT_EQ(Mcr(s.rig, 0x14) & 0xFF, 0x99u);             // DDR4 byte for code 3
  EXPECT_EQ(Mcr(s.rig, 0x04) & 0x08300400, 0x08300400u); // finishing bits and cache enable
  EXPECT_EQ(Mcr(s.rig, 0x88), 0x20161229u);
  EXPECT_EQ(Scu(s.rig, 0x08) & 0x73, 0x73u);
  EXPECT_EQ(Scu(s.rig, 0x0C) & 0x16000000, 0x10000000u);
  EXPECT_TRUE(s.rig.chip.dram.Up());

  const sim::ChipRecord r = s.rig.chip.Record();
  EXPECT_EQ(r.started_by, "module");
  EXPECT_TRUE(r.running);
  ASSERT_EQ(r.attempts.size(), 1u);
  EXPECT_EQ(r.size_code, 3u);
  EXPECT_EQ(r.attempts[0].verify, sim::ChipVerify::Passed);
  EXPECT_EQ(r.unclaimed, 0u);

  // A power cycle returns the whole chip to its unstarted state, and it starts again alike.
  s.rig.chip.Reset();
  EXPECT_EQ(s.rig.chip.StartupState(), 0);
  EXPECT_FALSE(s.rig.chip.dram.Up());
  EXPECT_FALSE(s.rig.chip.scu.Unlocked());
  EXPECT_FALSE(s.rig.chip.window.Enabled());
  EXPECT_EQ(Mcr(s.rig, 0x2CC), 0u);
  EXPECT_TRUE(s.rig.chip.tracker.Attempts().empty());
  ASSERT_EQ(StartController(&s.rig.state, s.rig.Services()), EFI_SUCCESS);
  EXPECT_EQ(Mcr(s.rig, 0x2C0), 0x00001D06u);
  EXPECT_EQ(s.rig.chip.Record().attempts.size(), 1u);
}

TEST(ChipStartup, CrtcStateDecidesWhetherTheStartUpRuns) {
  { // 0x3F: bits 7:6 clear, the start-up runs
    ChipRig rig;
    rig.crtc_low_bits = 0x3F;
    EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_SUCCESS);
    EXPECT_EQ(rig.chip.Record().started_by, "module");
    EXPECT_EQ(Scu(rig, 0x40), 0xC1u);
  }
  { // 0x40: running; no chip access at all, one CRTC read
    ChipRig rig;
    rig.chip.scu.regs.Set(sim::chipreg::kScuStartupFlags, 4, 0x40);
    rig.StartTrace();
    EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_SUCCESS);
    EXPECT_TRUE(rig.Accesses().empty());
    EXPECT_EQ(rig.crtc.Counts().reads, 2u); // the entry check and the first wait read
  }
  { // 0x80: started by the BMC, still starting: no start-up, waits until bit 6 appears
    ChipRig rig;
    rig.chip.scu.regs.Set(sim::chipreg::kScuStartupFlags, 4, 0x80);
    int reads = 0;
    rig.crtc.source = [&] {
      if (++reads == 5) { // the BMC finishes its own start-up
        rig.chip.scu.regs.Set(sim::chipreg::kScuStartupFlags, 4, 0xC1);
      }
      return rig.chip.StartupState();
    };
    rig.StartTrace();
    EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_SUCCESS);
    for (const ChipAccess &a : rig.Accesses()) {
      EXPECT_EQ(a.op, 's'); // only the stalls between polls
    }
    EXPECT_EQ(reads, 5);
  }
}

TEST(ChipStartup, StartedByTheBmcTheChipAndItsFrameBufferAreUpAtPowerOn) {
  ChipRig rig(Chip(R"("started_by_bmc": true)"));
  EXPECT_EQ(rig.chip.StartupState(), 0xC0);
  EXPECT_TRUE(rig.chip.dram.Up());
  EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_SUCCESS);
  EXPECT_EQ(rig.chip.Record().started_by, "bmc");
  EXPECT_TRUE(rig.chip.tracker.Attempts().empty());
}

TEST(ChipStartup, EveryAccessProgramsTheWindowAfresh) {
  ChipRig rig;
  rig.StartTrace();
  AstRead32(SCU70, ChipRig::kMmioBase);
  AstWrite32(MCR34, ChipRig::kMmioBase, 0x12345678);
  AstWrite32(MCR34, ChipRig::kMmioBase, 0x9ABCDEF0); // same page: programmed again
  const std::vector<std::string> lines = rig.TraceLines();
  ASSERT_EQ(lines.size(), 9u);
  auto is = [&](size_t i, const char *op, uint32_t addr, uint32_t value) {
    const nlohmann::json l = nlohmann::json::parse(lines[i]);
    char a[16], v[16];
    std::snprintf(a, sizeof a, "0x%X", addr);
    std::snprintf(v, sizeof v, "0x%X", value);
    return l["op"] == op && l["addr"] == a && (op[0] == 'r' || l["value"] == v);
  };
  const uint32_t m = ChipRig::kMmioBase;
  EXPECT_TRUE(is(0, "w", m + 0xF004, 0x1E6E0000));
  EXPECT_TRUE(is(1, "w", m + 0xF000, 1));
  EXPECT_TRUE(is(2, "r", m + 0x12070, 0));
  EXPECT_TRUE(is(3, "w", m + 0xF004, 0x1E6E0000));
  EXPECT_TRUE(is(4, "w", m + 0xF000, 1));
  EXPECT_TRUE(is(5, "w", m + 0x10034, 0x12345678));
  EXPECT_TRUE(is(8, "w", m + 0x10034, 0x9ABCDEF0));
  // The aperture access was decoded by the block behind it.
  EXPECT_EQ(nlohmann::json::parse(lines[2])["device"], "chip-scu");
  EXPECT_EQ(nlohmann::json::parse(lines[5])["device"], "chip-mcr");
}

TEST(ChipStartup, MemoryPllStrapSelectsTheAlternatePllInEveryAttempt) {
  {
    Started alt(Chip(R"("ddr4": false, "straps": "0x00800000", "verify_failures": 1)"));
    ASSERT_EQ(alt.status, EFI_SUCCESS);
    EXPECT_EQ(alt.Count('w', SCU7C, 0x00800000), 1u);
    EXPECT_EQ(alt.Count('w', SCU70, 0x00800000), 1u);
    EXPECT_EQ(alt.Count('s', 0, 100), 1u);
    EXPECT_EQ(alt.Count('w', SCU160, 0x00011320), 2u); // two attempts
    EXPECT_EQ(alt.Count('w', SCU20, 0x930023E0), 2u);
    EXPECT_EQ(alt.Count('w', SCU20, 0x93002400), 0u);
    // Cleared, then set again after the stall, before the first attempt.
    EXPECT_LT(alt.First('w', SCU7C, 0x00800000), alt.First('s', 0, 100));
    EXPECT_LT(alt.First('s', 0, 100), alt.First('w', SCU70, 0x00800000));
    EXPECT_LT(alt.First('w', SCU70, 0x00800000), alt.First('w', SCU160));
    EXPECT_NE(Scu(alt.rig, 0x70) & 0x00800000, 0u);
  }
  Started plain(Chip(R"("ddr4": false)"));
  EXPECT_EQ(plain.Count('w', SCU7C, 0x00800000), 0u);
  EXPECT_EQ(plain.Count('s', 0, 100), 0u);
  EXPECT_EQ(plain.Count('w', SCU160), 0u);
  EXPECT_EQ(plain.Count('w', SCU20, 0x93002400), 1u);
}

TEST(ChipStartup, WatchdogStrapArmsTheResetBeforeTheUnlockLoop) {
  {
    Started wd(Chip(R"("ddr4": false, "straps": "0x08000000")"));
    ASSERT_EQ(wd.status, EFI_SUCCESS);
    const size_t wdt1c = wd.First('w', WDT1C, 0xFFFFFFFF);
    ASSERT_LT(wdt1c, wd.accesses.size());
    EXPECT_EQ(wd.accesses[wdt1c + 1].addr, WDT04);
    EXPECT_EQ(wd.accesses[wdt1c + 2].addr, WDT08);
    EXPECT_EQ(wd.accesses[wdt1c + 2].value, 0x4755u);
    EXPECT_EQ(wd.accesses[wdt1c + 3].addr, WDT0C);
    EXPECT_EQ(wd.accesses[wdt1c + 4].op, 's');
    EXPECT_EQ(wd.accesses[wdt1c + 4].value, 10u);
    EXPECT_EQ(wd.rig.chip.wdt.regs.Get(0x0C, 4), 0x13u);
    // The strap is released after the unlock.
    EXPECT_EQ(Scu(wd.rig, 0x70) & 0x08000000, 0u);
  }
  Started none(Chip(R"("ddr4": false)"));
  for (uint32_t reg : {WDT1C, WDT04, WDT08, WDT0C}) {
    EXPECT_EQ(none.Count('w', reg), 0u);
  }
  EXPECT_EQ(none.Count('s', 0, 10), 0u);
}

TEST(ChipStartup, AFailedVerificationRepeatsOnlyTheAttempt) {
  Started s(Chip(R"("ddr4": false, "verify_failures": 1)"));
  ASSERT_EQ(s.status, EFI_SUCCESS);
  EXPECT_EQ(s.Count('w', MCR34, 0x00020000), 2u);  // ResetMemoryController twice
  EXPECT_EQ(s.Count('w', MCR200, 0x02492AAE), 2u); // InitDdr3 twice
  EXPECT_EQ(s.Count('w', MCR88, 0x20161229), 1u);
  EXPECT_EQ(s.Count('w', SCU90), 1u);
  EXPECT_EQ(s.Count('w', WDT2C), 1u);
  EXPECT_EQ(s.Count('w', SCU40, 0xC1), 1u);
  const sim::ChipRecord r = s.rig.chip.Record();
  ASSERT_EQ(r.attempts.size(), 2u);
  EXPECT_EQ(r.attempts[0].verify, sim::ChipVerify::Failed);
  EXPECT_EQ(r.attempts[1].verify, sim::ChipVerify::Passed);
  EXPECT_EQ(r.attempts[1].phy.started, 1u);
}

TEST(ChipStartup, SizeDetectionByAliasing) {
  struct Case {
    const char *keys;
    uint32_t code;
    uint32_t byte;
  };
  for (const Case &c :
       {Case{R"("ddr4": false, "size_mib": 512)", 2, 0x71},
        Case{R"("ddr4": false, "size_mib": 1024)", 3, 0x99},
        Case{R"("ddr4": false, "size_mib": 128)", 0, 0x2F}, Case{R"("size_mib": 128)", 0, 0x45},
        Case{R"("size_mib": 256)", 1, 0x45}, Case{R"("size_mib": 2048)", 3, 0x99}}) {
    SCOPED_TRACE(c.keys);
    Started s(Chip(c.keys), Started::kUntraced);
    ASSERT_EQ(s.status, EFI_SUCCESS);
    EXPECT_EQ(Mcr(s.rig, 0x04) & 0x3, c.code);
    EXPECT_EQ(Mcr(s.rig, 0x14) & 0xFF, c.byte);
    EXPECT_EQ(s.rig.chip.Record().size_code, c.code);
  }
}

TEST(ChipStartup, Ddr3InitialisesThePhyOnceWithoutTraining) {
  Started s(Chip(R"("ddr4": false)"));
  ASSERT_EQ(s.status, EFI_SUCCESS);
  EXPECT_EQ(s.Count('w', MCR60, 5), 1u);
  EXPECT_EQ(s.Count('w', MCR2CC), 0u);
  EXPECT_EQ(Mcr(s.rig, 0x2C0), 0x6u);
  const sim::ChipRecord r = s.rig.chip.Record();
  ASSERT_EQ(r.attempts.size(), 1u);
  EXPECT_TRUE(r.attempts[0].searches.empty());
  EXPECT_EQ(r.attempts[0].tests.burst, 4u);
  EXPECT_EQ(r.attempts[0].tests.single, 1u);
}

// The passes of the first search as the chip saw them: values tried and whether they passed.
std::vector<std::pair<uint32_t, bool>> Trials(const sim::ChipSearch &s, size_t pass) {
  std::vector<std::pair<uint32_t, bool>> out;
  for (const sim::ChipTrial &t : s.passes.at(pass)) {
    out.emplace_back(t.setting, t.passed);
  }
  return out;
}

TEST(ChipStartup, FirstSearchKeepsTheBestMarginAndStopsAfterThePassingRange) {
  {
    Started s(Chip(""), Started::kUntraced);
    ASSERT_EQ(s.status, EFI_SUCCESS);
    const sim::ChipRecord r = s.rig.chip.Record();
    const sim::ChipSearch &first = r.attempts.at(0).searches.at(0);
    EXPECT_EQ(first.reg, 0x2CCu);
    ASSERT_EQ(first.passes.size(), 1u);
    const auto trials = Trials(first, 0);
    ASSERT_EQ(trials.size(), 0x21u); // 0x40 to 0x60: stops at the first failure after the range
    EXPECT_EQ(trials.front(), std::make_pair(0x4040u, false));
    EXPECT_EQ(trials[0x10], std::make_pair(0x5050u, true));
    EXPECT_EQ(trials[0x1F], std::make_pair(0x5F5Fu, true));
    EXPECT_EQ(trials.back(), std::make_pair(0x6060u, false));
    // 0x57 and 0x58 both have margin 7: the lower wins.
    EXPECT_EQ(first.chosen, 0x5757u);
  }
  // An eye wider than the sweep: every value passes, no failure ends the pass, and the margins
  // peak at 0x1F on both 0x5F and 0x60.
  Started wide(Chip(R"("eye": {"vref": [64, 127]})"), Started::kUntraced);
  ASSERT_EQ(wide.status, EFI_SUCCESS);
  const sim::ChipRecord r = wide.rig.chip.Record();
  const sim::ChipSearch &w = r.attempts.at(0).searches.at(0);
  EXPECT_EQ(Trials(w, 0).size(), 64u);
  EXPECT_EQ(w.chosen, 0x5F5Fu);
  EXPECT_EQ(Mcr(wide.rig, 0x2CC), 0x5F5Fu);
}

TEST(ChipStartup, SecondSearchSetsTheMiddleOfThePassingRange) {
  struct Case {
    const char *delay;
    uint32_t mcr2c0;
  };
  for (const Case &c : {Case{"[28, 28]", 0x1C06}, Case{"[5, 48]", 0x1B06}, Case{"[28, 63]", 0x2E06},
                        Case{"[16, 41]", 0x1D06}}) {
    SCOPED_TRACE(c.delay);
    Started s(Chip(std::string(R"("eye": {"delay": )") + c.delay + "}"), Started::kUntraced);
    ASSERT_EQ(s.status, EFI_SUCCESS);
    EXPECT_EQ(Mcr(s.rig, 0x2C0), c.mcr2c0);
    const sim::ChipRecord r = s.rig.chip.Record();
    const sim::ChipSearch &second = r.attempts.at(0).searches.at(1);
    EXPECT_EQ(second.reg, 0x2C0u);
    EXPECT_EQ(second.chosen, c.mcr2c0);
  }
}

TEST(ChipStartup, FruitlessPassesRepeatTheSweepUpToFourTimes) {
  {
    Started one(Chip(R"("dead_passes": 1)"), Started::kUntraced);
    ASSERT_EQ(one.status, EFI_SUCCESS);
    const sim::ChipRecord r = one.rig.chip.Record();
    const sim::ChipAttempt &a = r.attempts.at(0);
    ASSERT_EQ(a.searches.size(), 2u);
    ASSERT_EQ(a.searches[0].passes.size(), 2u);
    EXPECT_EQ(Trials(a.searches[0], 0).size(), 64u); // a whole sweep that found nothing
    EXPECT_EQ(a.searches[0].chosen, 0x5757u);
    EXPECT_EQ(a.searches[1].passes.size(), 2u);
    EXPECT_EQ(a.searches[1].chosen, 0x1D06u);
  }
  Started four(Chip(R"("dead_passes": 4)"), Started::kUntraced);
  EXPECT_EQ(four.status, EFI_DEVICE_ERROR); // every attempt fails verification
  const sim::ChipRecord r = four.rig.chip.Record();
  ASSERT_EQ(r.attempts.size(), 10u);
  for (const sim::ChipAttempt &attempt : r.attempts) {
    ASSERT_EQ(attempt.searches.size(), 2u);
    EXPECT_EQ(attempt.searches[0].passes.size(), 4u);
    EXPECT_EQ(attempt.searches[0].chosen, 0u);
    EXPECT_EQ(attempt.searches[1].passes.size(), 4u);
    EXPECT_EQ(attempt.searches[1].chosen, 0x8006u);
    EXPECT_EQ(attempt.verify, sim::ChipVerify::Failed);
  }
  EXPECT_EQ(Scu(four.rig, 0x40), 0u); // no finishing writes
  EXPECT_EQ(Mcr(four.rig, 0x88), 0u);
}

TEST(ChipStartup, BurstTestLeavesItsCommandWhenItFails) {
  ChipRig rig(Chip(R"("ddr4": false)"));
  const uint32_t m = ChipRig::kMmioBase;
  AstWrite32(MCR00, m, kMcrUnlockKey);
  // The PHY was never initialised: the memory does not answer.
  EXPECT_EQ(RunBurstTest(&rig.state, 1), DramTestResult::Failed);
  EXPECT_EQ(AstRead32(MCR70, m), 0x20C9u);
  ASSERT_EQ(InitDramPhy(&rig.state, rig.Services()), EFI_SUCCESS);
  EXPECT_EQ(RunBurstTest(&rig.state, 2), DramTestResult::Passed);
  EXPECT_EQ(AstRead32(MCR70, m), 0u);
}

TEST(ChipStartup, PhyErrorsAreRetriedUntilAnInitialisationPasses) {
  Started s(Chip(R"("ddr4": false, "phy_errors": 3)"));
  ASSERT_EQ(s.status, EFI_SUCCESS);
  EXPECT_EQ(s.Count('w', MCR60, 5), 4u);
  EXPECT_EQ(s.Count('s', 0, 10), 3u);
  const sim::ChipRecord r = s.rig.chip.Record();
  const sim::ChipAttempt &a = r.attempts.at(0);
  EXPECT_EQ(a.phy.failed, 3u);
  EXPECT_EQ(a.phy.completed, 1u);
}

} // namespace
