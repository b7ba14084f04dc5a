// A chip that keeps every wait of the start-up just short of its bound: each wait alone is within
// its bound, but the start-up's waits share one budget, so the start-up ends with EFI_TIMEOUT
// within the budget's worst case (docs/chip_startup.md) instead of multiplying the waits by the
// PHY initialisations, tests and attempts.
#include <gtest/gtest.h>

#include <map>

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_startup.h"
#include "tests/graphics/chip_rig.h"

namespace {

using test::ChipConfigFrom;
using test::ChipRig;

// Worst case of a start-up that ends in its waits: the budget's 6,000,000 units at most 1.75 us
// each for the SCU's 1,000,000 key tries and 1.3 us for the rest, plus the attempts' fixed work.
constexpr double kStartupWorstS = 8.4;

// Holds every status the start-up waits on "not yet" for the first `hold` reads of a wait (a run
// of reads of one register, whatever is written in between), then lets the chip's answer through.
// The window's page comes from the writes the module makes to its base register.
class SlowChip : public sim::ReadInterposer, public sim::AccessObserver {
public:
  SlowChip(ChipRig &rig, std::map<uint32_t, uint32_t> hold) : rig_(rig), hold_(std::move(hold)) {
    rig.machine.bus.SetReadInterposer(this);
    rig.machine.bus.AddObserver(this);
  }
  ~SlowChip() override {
    rig_.machine.bus.SetReadInterposer(nullptr);
    rig_.machine.bus.RemoveObserver(this);
  }

  void Observe(sim::Space space, bool write, uint64_t addr, unsigned, uint64_t value,
               const sim::Device *) override {
    if (space == sim::Space::Memory && write && addr == ChipRig::kMmioBase + kWindowBaseOffset) {
      page_ = static_cast<uint32_t>(value) & 0xFFFF0000u;
    }
  }

  uint64_t Answer(const sim::DeviceRead &read, uint64_t honest) override {
    const uint64_t data = ChipRig::kMmioBase + kWindowApertureOffset;
    if (read.path != sim::ReadPath::Memory || read.addr < data || read.addr >= data + 0x10000) {
      return honest;
    }
    const uint32_t reg = page_ | static_cast<uint32_t>(read.addr - data);
    if (reg != last_) {
      last_ = reg;
      run_ = 0;
    }
    const auto held = hold_.find(reg);
    if (held == hold_.end() || ++run_ >= held->second) {
      return honest;
    }
    ++held_reads_;
    switch (reg) {
    case SCU00:
    case MCR00:
      return 0; // locked
    case MCR60:
      return honest | PhyControl::BusyField::kMask;
    case MCR70:
      return honest & ~uint64_t{TestEngine::DoneField::kMask | TestEngine::FailedField::kMask};
    case MCR04:
      return honest & ~uint64_t{McrConfig::CacheReadyField::kMask};
    default:
      return honest;
    }
  }

  uint64_t HeldReads() const { return held_reads_; }

private:
  ChipRig &rig_;
  std::map<uint32_t, uint32_t> hold_;
  uint32_t page_ = 0;
  uint32_t last_ = 0;
  uint32_t run_ = 0;
  uint64_t held_reads_ = 0;
};

// Each wait one read short of its bound: the SCU's tries and both unlocks take nearly 1,000,000
// reads each, so the first PHY initialisation's 5,000,000 reads no longer fit.
TEST(ChipWaitBudget, EveryWaitJustShortOfItsBoundEndsWithinTheBudget) {
  ChipRig rig;
  SlowChip slow(rig, {{SCU00, 1'000'000},
                      {MCR00, 1'000'000},
                      {MCR60, 5'000'000},
                      {MCR70, 5'000'001},
                      {MCR04, 1'000'000}});
  EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_TIMEOUT);
  EXPECT_LE(rig.Seconds(), kStartupWorstS);
  EXPECT_GE(rig.Seconds(), 6.0); // the budget, not an earlier give-up, ended it
  EXPECT_EQ(rig.state.ChipWaitSpent, 6'000'000u);
  EXPECT_EQ(rig.chip.scu.regs.Get(0x40, 4) & 0x40, 0u) << "no completion flags on failure";
}

// Short waits multiplied: a PHY and a test engine that each take 2,000 reads, on a memory whose
// every training trial and verification fails. Ten attempts of 513 trials would take about 27 s;
// the budget ends the start-up within its worst case.
TEST(ChipWaitBudget, SlowWaitsMultipliedByTrialsAndAttemptsEndWithinTheBudget) {
  ChipRig rig(ChipConfigFrom(R"({"display": {"chip": {"dead_passes": 100}}})"));
  SlowChip slow(rig, {{MCR60, 2'000}, {MCR70, 2'000}});
  EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_TIMEOUT);
  EXPECT_LE(rig.Seconds(), kStartupWorstS);
  EXPECT_GE(rig.Seconds(), 7.0);
  EXPECT_EQ(rig.state.ChipWaitSpent, 6'000'000u);
}

// The same slow PHY and test engine on a memory that passes: far within the budget, the start-up
// completes as it would without one.
TEST(ChipWaitBudget, ASlowChipThatCompliesStillStarts) {
  ChipRig rig;
  SlowChip slow(rig, {{MCR60, 200}, {MCR70, 200}, {MCR04, 200}});
  EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_SUCCESS);
  EXPECT_GT(slow.HeldReads(), 10'000u);
  EXPECT_LT(rig.state.ChipWaitSpent, 1'000'000u);
  EXPECT_TRUE(rig.chip.Record().running);
}

// A window that nothing decodes reads all ones: no key would ever be taken, and the start-up
// gives up after the first read of the straps instead of a million key tries.
TEST(ChipWaitBudget, NothingBehindTheWindowEndsTheStartUpAtOnce) {
  ChipRig rig;
  rig.state.MmioBase = ChipRig::kMmioBase + 0x02000000; // no device decodes there
  EXPECT_EQ(StartController(&rig.state, rig.Services()), EFI_TIMEOUT);
  EXPECT_LE(rig.Seconds(), 0.0001);
  EXPECT_EQ(rig.chip.window.Counts().reads + rig.chip.window.Counts().writes, 0u);
}

} // namespace
