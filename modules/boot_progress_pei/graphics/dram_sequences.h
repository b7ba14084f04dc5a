// Register sequences that bring up the chip's DRAM: the part common to both DRAM types, and the
// DDR3 and DDR4 sequences (PHY initialisation or training, size detection, cache).
#pragma once

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

void InitDramCommon(const GraphicsDeviceState *state);

// Both return EFI_SUCCESS once the sequence has run, or the error of a PHY initialisation, a
// test engine or the cache that stopped answering.
EFI_STATUS InitDdr3(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices);
EFI_STATUS InitDdr4(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices);
