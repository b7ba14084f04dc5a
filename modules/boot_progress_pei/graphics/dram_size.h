// Detection of the size of the chip's DRAM by address aliasing.
#pragma once

#include <stdint.h>

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"

// Finds the size code (0-3: 128 MiB to 1 GiB), writes it to MCR04 bits 1:0 and byte `code` of
// sizeBytes to MCR14 bits 7:0.
void DetectDramSize(const GraphicsDeviceState *state, uint32_t sizeBytes);
