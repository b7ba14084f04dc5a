#include "modules/boot_progress_pei/graphics/dram_cache.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_stall.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
// Reads of MCR04 until the cache is ready. Its initialisation takes microseconds; 1,000,000
// reads are about 1.3 s through the window.
constexpr uint32_t kCacheReadyPolls = 1'000'000;
} // namespace

BOOT_PHASE EFI_STATUS EnableDramCache(const GraphicsDeviceState *state) {
  const ChipRegister32 config{MCR04, state->MmioBase};
  const McrConfig before = ReadRegister<McrConfig>(config);
  WriteRegister(config, McrConfig(before).SetCacheInit(1));
  const EFI_STATUS ready = ChipPollUntil(
      state, kCacheReadyPolls, [&] { return ReadRegister<McrConfig>(config).CacheReady() != 0; });
  if (ready != EFI_SUCCESS) {
    return EFI_TIMEOUT;
  }
  // The value read before: the initialisation bit returns to its earlier state.
  WriteRegister(config, McrConfig(before).SetCacheEnable(1));
  return EFI_SUCCESS;
}
