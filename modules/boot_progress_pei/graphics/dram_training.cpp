#include "modules/boot_progress_pei/graphics/dram_training.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"
#include "modules/boot_progress_pei/graphics/dram_phy.h"
#include "modules/boot_progress_pei/graphics/dram_test_engine.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
// Sweeps per search while no value has passed: the eye may open only after the PHY has been
// exercised a few times. Four fruitless sweeps of 64 values are about 512 PHY initialisations and
// tests for both searches (about 4.3 ms when every test fails at once).
constexpr uint32_t kTrainingSweeps = 4;

constexpr uint32_t kMarginSearchFirst = 0x40;
constexpr uint32_t kMarginSearchLast = 0x7F;
constexpr uint32_t kRangeSearchFirst = 0;
constexpr uint32_t kRangeSearchLast = 63;

constexpr uint32_t kNoLow = 0xFF; // low end of an empty range; its middle with high 0 is 0x80

uint32_t BothLanes(uint32_t value) { return LaneSetting().SetLane1(value).SetLane0(value).Raw(); }

uint32_t RangeSetting(uint32_t delay) {
  return PhyDelaySetting().SetDelay(delay).SetControl(kMcr2c0Control).Raw();
}

// Stops the controller's refresh and the PHY, writes one setting and initialises the PHY with it.
EFI_STATUS ApplySetting(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices,
                        uint32_t reg, uint32_t value) {
  const uint32_t mmio = state->MmioBase;
  AstWrite32(MCR0C, mmio, kMcr0cOff);
  AstWrite32(MCR60, mmio, kPhyStop);
  AstWrite32(reg, mmio, value);
  return InitDramPhy(state, peiServices);
}

// Applies one setting and tests the memory with it. An error status means the PHY or the test
// engine stopped answering; otherwise *passed tells whether the memory works with the setting.
EFI_STATUS TrySetting(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices,
                      uint32_t reg, uint32_t value, bool *passed) {
  const EFI_STATUS phy = ApplySetting(state, peiServices, reg, value);
  if (phy != EFI_SUCCESS) {
    return phy;
  }
  AstWrite32(MCR0C, state->MmioBase, kMcr0cTraining);
  const DramTestResult result = RunTrainingTest(state);
  if (result == DramTestResult::TimedOut) {
    return EFI_TIMEOUT;
  }
  *passed = result == DramTestResult::Passed;
  return EFI_SUCCESS;
}

uint32_t Smaller(uint32_t a, uint32_t b) { return a < b ? a : b; }
uint32_t Greater(uint32_t a, uint32_t b) { return a > b ? a : b; }
} // namespace

BOOT_PHASE EFI_STATUS SearchBestMarginSetting(const GraphicsDeviceState *state,
                                              const EFI_PEI_SERVICES **peiServices) {
  const uint32_t mmio = state->MmioBase;
  uint32_t bestValue = 0;
  for (uint32_t sweep = 0; sweep < kTrainingSweeps; ++sweep) {
    AstWrite32(MCR2C0, mmio, RangeSetting(kMcr2c0MarginSearchDelay));
    uint32_t bestMargin = 0;
    uint32_t passes = 0;
    for (uint32_t k = kMarginSearchFirst; k <= kMarginSearchLast; ++k) {
      bool passed = false;
      const EFI_STATUS status = TrySetting(state, peiServices, MCR2CC, BothLanes(k), &passed);
      if (status != EFI_SUCCESS) {
        return status;
      }
      if (passed) {
        ++passes;
        const TrainingMargins m = ReadRegister<TrainingMargins>(ChipRegister32{MCR3D0, mmio});
        const uint32_t margin = Smaller(m.Lane0(), m.Lane1());
        if (margin > bestMargin) { // on equal margins the lower value stays
          bestMargin = margin;
          bestValue = k;
        }
      } else if (passes != 0) {
        break; // the passing range has ended
      }
    }
    if (passes != 0) {
      break;
    }
  }
  AstWrite32(MCR2CC, mmio, BothLanes(bestValue));
  return EFI_SUCCESS;
}

BOOT_PHASE EFI_STATUS SearchPassingRangeMiddle(const GraphicsDeviceState *state,
                                               const EFI_PEI_SERVICES **peiServices) {
  uint32_t low = kNoLow;
  uint32_t high = 0;
  for (uint32_t sweep = 0; sweep < kTrainingSweeps; ++sweep) {
    low = kNoLow;
    high = 0;
    uint32_t passes = 0;
    for (uint32_t k = kRangeSearchFirst; k <= kRangeSearchLast; ++k) {
      bool passed = false;
      const EFI_STATUS status = TrySetting(state, peiServices, MCR2C0, RangeSetting(k), &passed);
      if (status != EFI_SUCCESS) {
        return status;
      }
      if (passed) {
        ++passes;
        low = Smaller(low, k);
        high = Greater(high, k);
      } else if (passes != 0) {
        break;
      }
    }
    if (passes != 0) {
      break;
    }
  }
  const uint32_t middle = (low + high + 1) >> 1; // halves taken upwards
  return ApplySetting(state, peiServices, MCR2C0, RangeSetting(middle));
}
