// The memory controller's cache.
#pragma once

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Initialises the cache, waits until the controller reports it ready and enables it.
// EFI_TIMEOUT when it never becomes ready (MCR04 is then left with the initialisation started).
EFI_STATUS EnableDramCache(const GraphicsDeviceState *state);
