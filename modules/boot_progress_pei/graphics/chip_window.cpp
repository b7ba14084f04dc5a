#include "modules/boot_progress_pei/graphics/chip_window.h"

#include "access/inlining.h"
#include "access/mmio.h"
#include "modules/boot_progress_pei/graphics/chip_regs.h"

namespace {
// Points the aperture at the 64 KiB page of `address` and returns where `address` appears.
uintptr_t OpenWindow(uint32_t address, uint32_t mmioBase) {
  MmioWrite32(uintptr_t{mmioBase} + kWindowBaseOffset, address & kWindowPageMask);
  MmioWrite32(uintptr_t{mmioBase} + kWindowEnableOffset, kWindowEnable);
  return uintptr_t{mmioBase} + kWindowApertureOffset + (address & kWindowPageOffsetMask);
}
} // namespace

OUT_OF_LINE uint32_t AstRead32(uint32_t address, uint32_t mmioBase) {
  return MmioRead32(OpenWindow(address, mmioBase));
}

OUT_OF_LINE void AstWrite32(uint32_t address, uint32_t mmioBase, uint32_t value) {
  MmioWrite32(OpenWindow(address, mmioBase), value);
}

void AstModify32(uint32_t address, uint32_t mmioBase, uint32_t clear, uint32_t set) {
  AstWrite32(address, mmioBase, (AstRead32(address, mmioBase) & ~clear) | set);
}

void AstWriteSequence(uint32_t mmioBase, const ChipWrite *writes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    AstWrite32(writes[i].Address, mmioBase, writes[i].Value);
  }
}
