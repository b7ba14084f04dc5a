// Register values the mode set derives from the mode and the controller revision, apart from the
// CRTC timing (crtc_timing.h).
#pragma once

#include <stdint.h>

#include "modules/boot_progress_pei/graphics/mode_tables.h"
#include "modules/boot_progress_pei/graphics/mode_timing.h"

// Line pitch in units of 8 bytes, modulo 2^16.
uint16_t ScanlineOffset(const ModeTiming &mode);

// The revision's pixel-clock setting for a timing row's clock index; null when the index lies
// beyond the revision's table.
const PixelClockSetting *PixelClockFor(uint8_t revision, uint32_t clockIndex);

// The clock bits of the clock control register (bits 7:4 in place) for a setting's control byte.
uint8_t ClockControlBits(uint8_t revision, uint8_t control);

struct DepthSettings {
  uint8_t ModeControlDepth; // mode control bits 6:4
  uint8_t ColourDepth;      // colour depth register
  uint8_t DepthCode;        // mode information for the BMC: 0 none, 1 8-bit, 2 16-bit, 3 32-bit
};
DepthSettings DepthSettingsFor(uint32_t bitsPerPixel);

struct FifoThresholds {
  uint8_t High;
  uint8_t Low;
};
FifoThresholds FifoThresholdsFor(uint8_t revision);
