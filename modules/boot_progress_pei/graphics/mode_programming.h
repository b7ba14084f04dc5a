// Programming the display mode through the VGA ports, in six steps that the bring-up runs in
// this order with the screen blanked: standard registers, CRTC timing, scan-line offset, pixel
// clock, extended registers, default palette.
#pragma once

#include <stdint.h>

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "modules/boot_progress_pei/graphics/mode_timing.h"

void LoadStandardRegisters(const ModeTiming &mode);
void SetCrtcTiming(const ModeTiming &mode);
void SetScanlineOffset(const ModeTiming &mode);
// Leaves the clock registers as they are when the timing's clock index lies beyond the table of
// the controller's revision.
void SetPixelClock(const ModeTiming &mode, const GraphicsDeviceState &state);
void SetExtendedRegisters(const ModeTiming &mode, const GraphicsDeviceState &state);

constexpr uint32_t kDefaultPaletteLoaded = 0;
constexpr uint32_t kNoDefaultPalette = 1; // the colour depth has no default palette
uint32_t LoadDefaultPalette(const ModeTiming &mode);

// The boot screen's mode, 800 x 600 x 8 at 60 Hz, in the six steps above.
void SetBootScreenMode(const GraphicsDeviceState &state);
