// The display-mode record: what the mode set programs, built by bring-up on its stack and read
// by the mode programming. The tables it points at are constant data of the module.
#pragma once

#include <stdint.h>

// Values for the standard VGA register set, in the order they are loaded.
struct StandardVgaRegisterSet {
  uint8_t MiscOutput;
  uint8_t Sequencer[4];  // sequencer 0x01 to 0x04
  uint8_t Crtc[25];      // CRTC 0x00 to 0x18
  uint8_t Attribute[20]; // attribute controller 0x00 to 0x13
  uint8_t Graphics[9];   // graphics controller 0x00 to 0x08
};
static_assert(sizeof(StandardVgaRegisterSet) == 59);

// One display timing: pixels and lines, and the clock and codes that go with it.
struct CrtcTimingRow {
  uint32_t HorizontalTotal;
  uint32_t HorizontalDisplay;
  uint32_t HorizontalFrontPorch; // pixels from the end of the visible line to horizontal sync
  uint32_t HorizontalSyncWidth;
  uint32_t VerticalTotal;
  uint32_t VerticalDisplay;
  uint32_t VerticalFrontPorch; // lines from the end of the visible frame to vertical sync
  uint32_t VerticalSyncWidth;
  uint32_t ClockIndex; // row of the pixel-clock table
  uint32_t Flags;
  uint32_t RefreshRate; // Hz; identifies the row, not programmed
  uint32_t RefreshCode;
  uint32_t ModeCode;
};

constexpr uint32_t kTimingHorizontalBorder = 0x20; // 8-pixel border on the horizontal timing
constexpr uint32_t kTimingVerticalBorder = 0x10;   // 8-line border on the vertical timing

struct ModeTiming {
  uint32_t Width;        // visible pixels per line
  uint32_t Height;       // visible lines
  uint32_t BitsPerPixel; // 1, 8, 15, 16 or 32
  const StandardVgaRegisterSet *StandardRegisters;
  const CrtcTimingRow *Timing;
};
