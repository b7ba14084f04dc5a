// Start-up of the BMC chip behind the display controller: clocks, its DRAM, the start-up flags.
#pragma once

#include "include/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Starts the chip when it reports that it has not been started, then waits until it runs.
// EFI_SUCCESS once it runs; an error status when the chip does not comply within its bounds.
EFI_STATUS StartController(GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices);
