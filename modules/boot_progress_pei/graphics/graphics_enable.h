// Bring-up of the BMC display controller: find it, assign its resources, start the chip, set the
// one mode and clear the frame buffer. The host decode window (host_window.h) is opened first.
#pragma once

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "modules/boot_progress_pei/graphics/host_window.h"
#include "uefi/pi_pei.h"

// Brings the controller up, filling the caller's state (which need not be initialised). Returns
// EFI_SUCCESS when the mode is set and the frame cleared, and also when the controller's VGA
// decoding was already on (bring-up has run before; nothing of the controller is touched).
// Errors, each before any VGA register is touched: EFI_NOT_FOUND when no root port leads to the
// display bridge or nothing answers behind it; EFI_OUT_OF_RESOURCES when a BAR of the VGA
// function does not fit the range opened for it; EFI_UNSUPPORTED when its BAR0 cannot hold the
// frame buffer at its fixed address or its BAR1 the chip's register window. An error of the chip
// start-up is returned as it is, with no mode set and the VGA decoding turned off again.
EFI_STATUS EnableGraphicsController(GraphicsDeviceState *state,
                                    const EFI_PEI_SERVICES **peiServices);
