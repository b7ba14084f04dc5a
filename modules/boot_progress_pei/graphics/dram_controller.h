// Bring-up of the chip's DRAM: the memory controller's reset and memory PLL, and the attempts
// that initialise and verify the memory until it passes.
#pragma once

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Prepares clocks and watchdogs, then runs bring-up attempts (reset, common sequence, DDR3 or
// DDR4 sequence, verification) until the memory passes, and sets the completion bits.
// EFI_SUCCESS once the memory passed; EFI_DEVICE_ERROR when every attempt failed verification;
// the error of a part of the controller that stopped answering otherwise.
EFI_STATUS InitControllerDram(const GraphicsDeviceState *state,
                              const EFI_PEI_SERVICES **peiServices);

// Unlocks and clears the memory controller, sets the memory PLL and lets it settle.
void ResetMemoryController(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices);
