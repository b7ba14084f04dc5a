// Start-up of the BMC chip behind the display controller: clocks, its DRAM, the start-up flags.
#pragma once

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Starts the chip when it reports that it has not been started, then waits until it runs.
// EFI_SUCCESS once it runs; EFI_TIMEOUT when the chip stops answering (a key never taken, the PHY,
// the test engine or the cache never done, or the chip never reporting that it runs);
// EFI_DEVICE_ERROR when the chip answers but its DRAM never comes up (PHY errors on every try,
// verification failed in every attempt). The start-up's waits share one budget (chip_stall.h):
// every failure is reached within about 8.4 s, then at most 5 s of waiting for the chip to run.
EFI_STATUS StartController(GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices);

// Opens the chip's internal bus to the host: unlocks the bus controller and the SCU, resets the
// chip through a watchdog when strapped to, and waits until the SCU takes its key.
// EFI_TIMEOUT when it never does, at once when the strap register reads all ones: nothing answers
// behind the window.
EFI_STATUS PrepareAhbBus(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices);
