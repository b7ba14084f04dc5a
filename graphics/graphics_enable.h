// Host-side decode window and bring-up of the BMC display controller.
#pragma once

#include "include/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Programs the host decode registers that forward the MMIO window to the PCH; returns 0.
uint32_t OpenHostMmioWindow();

// Finds the display controller, assigns its resources, starts the chip, sets the mode and
// clears the frame buffer. EFI_NOT_FOUND when no root port leads to the controller.
EFI_STATUS EnableGraphicsController(GraphicsDeviceState *state,
                                    const EFI_PEI_SERVICES **peiServices);
