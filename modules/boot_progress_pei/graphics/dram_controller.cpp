#include "modules/boot_progress_pei/graphics/dram_controller.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_stall.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"
#include "modules/boot_progress_pei/graphics/dram_sequences.h"
#include "modules/boot_progress_pei/graphics/dram_test_engine.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
// Bring-up attempts while the memory fails verification. A marginal memory passes within a few
// fresh resets and trainings; ten failures in a row will not turn into a pass. A failing DDR4
// attempt runs 513 tests (74 ms in all when each fails at once, about 5.2 s when each takes 1 ms).
constexpr uint32_t kDramBringUpAttempts = 10;

constexpr uint32_t kStrapRelatchStallUs = 100; // between clearing and setting the PLL strap
constexpr uint32_t kMemoryPllStallUs = 3000;   // memory PLL lock time

// The second and third watchdogs off, the start-up pin and clock settings.
constexpr ChipWrite kControllerSetup[] = {
    {WDT2C, kWdtDisabled},
    {WDT4C, kWdtDisabled},
    {SCU90, kScu90Startup},
    {SCU94, kScu94Startup},
};

ScuStraps ReadStraps(uint32_t mmio) { return ReadRegister<ScuStraps>(ChipRegister32{SCU70, mmio}); }

// One attempt: reset, the common sequence, the sequence of the strapped DRAM type, verification.
// An error status means the controller stopped answering; otherwise *passed tells the result.
EFI_STATUS RunBringUpAttempt(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices,
                             bool *passed) {
  ResetMemoryController(state, peiServices);
  InitDramCommon(state);
  const EFI_STATUS sequence = ReadStraps(state->MmioBase).Ddr4() != 0
                                  ? InitDdr4(state, peiServices)
                                  : InitDdr3(state, peiServices);
  if (sequence != EFI_SUCCESS) {
    return sequence;
  }
  const DramTestResult verified = VerifyDram(state);
  if (verified == DramTestResult::TimedOut) {
    return EFI_TIMEOUT;
  }
  *passed = verified == DramTestResult::Passed;
  return EFI_SUCCESS;
}
} // namespace

void ResetMemoryController(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices) {
  const uint32_t mmio = state->MmioBase;
  AstWrite32(MCR00, mmio, kMcrUnlockKey);
  AstWrite32(MCR34, mmio, kMcr34Reset);
  for (uint32_t reg = MCR04; reg <= MCR8C; reg += sizeof(uint32_t)) {
    AstWrite32(reg, mmio, 0);
  }
  AstWrite32(MCR34, mmio, kMcr34Idle);
  AstWrite32(SCU00, mmio, kScuUnlockKey);
  if (ReadStraps(mmio).MemoryPllAlternate() != 0) {
    AstWrite32(SCU160, mmio, kScu160MemoryPllAlternate);
    AstWrite32(SCU20, mmio, kScu20MemoryPllAlternate);
  } else {
    AstWrite32(SCU20, mmio, kScu20MemoryPll);
  }
  ChipStall(peiServices, kMemoryPllStallUs);
}

BOOT_PHASE EFI_STATUS InitControllerDram(const GraphicsDeviceState *state,
                                         const EFI_PEI_SERVICES **peiServices) {
  const uint32_t mmio = state->MmioBase;
  AstWriteSequence(mmio, kControllerSetup);
  if (ReadStraps(mmio).MemoryPllAlternate() != 0) { // re-latch the PLL strap
    AstWrite32(SCU7C, mmio, ScuStraps().SetMemoryPllAlternate(1).Raw());
    ChipStall(peiServices, kStrapRelatchStallUs);
    AstWrite32(SCU70, mmio, ScuStraps().SetMemoryPllAlternate(1).Raw());
  }
  if (ReadStraps(mmio).ReleaseStrap14() != 0) {
    AstWrite32(SCU7C, mmio, ScuStraps().SetStrap14(1).Raw());
  }

  bool passed = false;
  for (uint32_t attempt = 0; attempt < kDramBringUpAttempts && !passed; ++attempt) {
    const EFI_STATUS status = RunBringUpAttempt(state, peiServices, &passed);
    if (status != EFI_SUCCESS) {
      return status;
    }
  }
  if (!passed) {
    return EFI_DEVICE_ERROR;
  }

  AstModify32(SCU40, mmio, 0, kScu40DramDone);
  AstModify32(SCU0C, mmio, kScu0cStartupClear, kScu0cStartupSet);
  AstModify32(MCR04, mmio, 0, kMcr04StartupDone);
  AstWrite32(MCR88, mmio, kMcr88StartupDone);
  return EFI_SUCCESS;
}
