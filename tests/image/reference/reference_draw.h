// The boot screen's drawing as it was when every pixel and flash byte took its own transaction:
// kept as the reference the current drawing must match byte for byte (frame buffer, palette,
// margins, status). Same access layer, same arguments and results as DrawBitmap and the progress
// trough and bar.
#pragma once

#include "uefi/uefi_base.h"

namespace reference {

EFI_STATUS DrawBitmap(UINTN bmpAddress, UINT32 bmpLength, UINT32 sizeLimit, UINTN frameBuffer,
                      UINT32 *leftMargin, UINT32 *bottomMargin, UINT32 highPalette, UINT32 *width,
                      UINT32 *height);

EFI_STATUS DrawProgressTrough(uintptr_t frameBuffer);
void DrawProgressBar(UINT16 percent, uintptr_t frameBuffer);

} // namespace reference
