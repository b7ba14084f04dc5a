// Initialisation of the DDR PHY of the chip's memory controller.
#pragma once

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Starts the PHY, waits until it is no longer busy and restarts it while it reports an error.
// EFI_SUCCESS once an initialisation passed (MCR60 then holds the finish value); EFI_TIMEOUT when
// the PHY stays busy; EFI_DEVICE_ERROR when it reports an error on every try.
EFI_STATUS InitDramPhy(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices);
