// Constant tables of the one display mode: the standard VGA register values, the 800 x 600
// timings, the pixel-clock settings and the default palettes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "modules/boot_progress_pei/graphics/mode_timing.h"

extern const StandardVgaRegisterSet StandardVgaRegisters;

// The VESA 800 x 600 timings at 60, 72, 75 and 85 Hz, then the 85 Hz row again as the table's
// last row (refresh rate 0xFF).
constexpr size_t kTiming800x600Rows = 5;
// clang-format off
inline constexpr CrtcTimingRow Timing800x600[kTiming800x600Rows] = {
    // HTotal HDisp HFP HSync VTotal VDisp VFP VSync Clock Flags Refresh Code  Mode
    {1056,    800,  40, 128,   628,   600,  1,  4,    4,    0x01, 60,     2,    0x30}, // 40 MHz
    {1040,    800,  56, 120,   666,   600,  37, 6,    6,    0x01, 72,     3,    0x30}, // 50 MHz
    {1056,    800,  16, 80,    625,   600,  1,  3,    5,    0x01, 75,     4,    0x30}, // 49.5 MHz
    {1048,    800,  32, 64,    631,   600,  1,  3,    7,    0x01, 85,     5,    0x30}, // 56.25 MHz
    {1048,    800,  32, 64,    631,   600,  1,  3,    7,    0x01, 0xFF,   5,    0x30},
};
// clang-format on
// The row the boot screen is set with: 60 Hz.
constexpr size_t kBootScreenTimingRow = 0;

// Bytes for extended CRTC 0xC0, 0xC1 and 0xBB, by CrtcTimingRow::ClockIndex.
struct PixelClockSetting {
  uint8_t Clock0;
  uint8_t Clock1;
  uint8_t Control;
};
constexpr size_t kPixelClockRowsRev40 = 26;
constexpr size_t kPixelClockRowsDefault = 16;
extern const PixelClockSetting PixelClockTableRev40[kPixelClockRowsRev40];
extern const PixelClockSetting PixelClockTableDefault[kPixelClockRowsDefault];

// DAC values, red, green, blue.
struct PaletteEntry {
  uint8_t Red;
  uint8_t Green;
  uint8_t Blue;
};
template <size_t N>
struct PaletteTable {
  static constexpr size_t kCount = N;
  PaletteEntry Entries[N];
};
// The 64 EGA colours as 6-bit DAC values.
extern const PaletteTable<64> EgaPalette;
// Eight basic colours, written to the DAC as they stand.
extern const PaletteTable<8> BasicPalette;
