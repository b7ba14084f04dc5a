// DDR4 training: two searches that sweep a PHY setting, test the memory at each value with the
// test engine and keep the best value (by margin) or the middle of the passing range.
#pragma once

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Sweeps MCR2CC (both byte lanes alike) over 0x40-0x7F and leaves it at the passing value with
// the largest margin, 0 when none passed. No PHY initialisation follows the final setting.
EFI_STATUS SearchBestMarginSetting(const GraphicsDeviceState *state,
                                   const EFI_PEI_SERVICES **peiServices);

// Sweeps the delay of MCR2C0 over 0-63, sets the middle of the passing range (0x80 when none
// passed) and initialises the PHY with it.
EFI_STATUS SearchPassingRangeMiddle(const GraphicsDeviceState *state,
                                    const EFI_PEI_SERVICES **peiServices);
