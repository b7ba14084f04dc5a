#include "modules/boot_progress_pei/graphics/dram_size.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
// One probe per size code, 1 MiB above the boundary that memory of the next smaller size wraps
// at. On a smaller memory a probe aliases a lower one, which is written after it and overwrites
// it; the highest probe that still holds its own pattern gives the size.
struct SizeProbe {
  uint32_t Address;
  uint32_t Pattern;
};
constexpr SizeProbe kSizeProbes[] = {
    {kDramBase + 0x00100000u, 0x1D1E1F10u}, // code 0: 128 MiB
    {kDramBase + 0x08100000u, 0x292A2B2Cu}, // code 1: 256 MiB
    {kDramBase + 0x10100000u, 0x35363738u}, // code 2: 512 MiB
    {kDramBase + 0x20100000u, 0x41424344u}, // code 3: 1 GiB
};
constexpr uint32_t kSizeCodes = sizeof(kSizeProbes) / sizeof(kSizeProbes[0]);
constexpr uint32_t kBitsPerByte = 8;
} // namespace

BOOT_PHASE void DetectDramSize(const GraphicsDeviceState *state, uint32_t sizeBytes) {
  const uint32_t mmio = state->MmioBase;
  McrConfig config = ReadRegister<McrConfig>(ChipRegister32{MCR04, mmio});
  McrSizeTiming timing = ReadRegister<McrSizeTiming>(ChipRegister32{MCR14, mmio});

  for (uint32_t code = kSizeCodes; code-- > 0;) { // highest first
    AstWrite32(kSizeProbes[code].Address, mmio, kSizeProbes[code].Pattern);
  }
  uint32_t size = 0; // code 0 is what remains when no higher probe survived
  for (uint32_t code = kSizeCodes - 1; code > 0; --code) {
    if (AstRead32(kSizeProbes[code].Address, mmio) == kSizeProbes[code].Pattern) {
      size = code;
      break;
    }
  }

  config.SetSizeCode(size);
  timing.SetSizeByte(sizeBytes >> (size * kBitsPerByte));
  WriteRegister(ChipRegister32{MCR04, mmio}, config);
  WriteRegister(ChipRegister32{MCR14, mmio}, timing);
}
