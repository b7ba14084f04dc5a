// The CRTC timing of a mode as the masked updates that load it: each value in character clocks
// (horizontal) or lines (vertical), the bits above a register's width carried into the overflow
// registers, in the order the registers are written.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "modules/boot_progress_pei/graphics/mode_timing.h"

// One masked update of a CRTC register: read, keep the KeepMask bits, OR in Value, write.
struct CrtcUpdate {
  uint8_t Index;
  uint8_t KeepMask;
  uint8_t Value;
};

constexpr size_t kCrtcTimingUpdates = 19;
struct CrtcTimingProgram {
  CrtcUpdate Updates[kCrtcTimingUpdates];
};

CrtcTimingProgram BuildCrtcTimingProgram(const CrtcTimingRow &row);

// The program of the boot screen's timing row (Timing800x600 at 60 Hz).
extern const CrtcTimingProgram BootScreenCrtcTiming;
