// The progress trough and bar in the bottom six rows of the screen.
#pragma once

#include "uefi/uefi_base.h"

// Bar width in pixels for a percentage: 95 % of the screen width at 100 %, so 100 fills the
// 760-pixel trough. Percentages above 100 count as 100.
UINT32 ProgressBarWidth(UINT16 percent);

// Fills rows 594 to 599, columns 0 to 759, with the trough index.
EFI_STATUS DrawProgressTrough(uintptr_t frameBuffer);

// Fills rows 594 to 599 from column 0 with the bar index for the percentage's width; columns to
// the right keep what they hold.
void DrawProgressBar(UINT16 percent, uintptr_t frameBuffer);
