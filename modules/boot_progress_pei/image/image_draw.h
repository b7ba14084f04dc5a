// Drawing BMP files found by file GUID in the firmware volumes.
#pragma once

#include "uefi/pi_pei.h"

// Draws the BMP file named `fileGuid`. Margins of 0 are replaced by centred ones; `highPalette`
// 1 places the image's colours from palette entry 230, any other value from 0. Always succeeds.
EFI_STATUS DrawImageFile(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *fileGuid,
                         uint32_t *bottomMargin, uint32_t *leftMargin, uint32_t highPalette);
