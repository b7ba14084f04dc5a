#include "modules/boot_progress_pei/progress/progress_bar.h"

#include "access/mmio.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"
#include "modules/boot_progress_pei/progress/screen_layout.h"

UINT32 ProgressBarWidth(UINT16 percent) {
  // Clamped so a caller's out-of-range value can never run the bar past the trough.
  UINT32 p = percent > 100 ? 100 : percent;
  return ((p * kScreenWidth) / 100) * 95 / 100;
}

namespace {
// A width of 0 stores nothing.
void FillProgressRows(uintptr_t frameBuffer, UINT32 width, UINT8 index) {
  for (UINT32 row = kProgressTopRow; row < kProgressTopRow + kProgressRows; ++row) {
    MmioFill8Wide(frameBuffer + row * kScreenPitch, width, index);
  }
}
} // namespace

BOOT_PHASE EFI_STATUS DrawProgressTrough(uintptr_t frameBuffer) {
  FillProgressRows(frameBuffer, kProgressTroughWidth, kTroughColourIndex);
  return EFI_SUCCESS;
}

BOOT_PHASE void DrawProgressBar(UINT16 percent, uintptr_t frameBuffer) {
  FillProgressRows(frameBuffer, ProgressBarWidth(percent), kBarColourIndex);
}
