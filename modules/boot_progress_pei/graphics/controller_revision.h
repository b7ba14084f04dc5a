// Revision IDs of the display controller's VGA function at which register values change.
#pragma once

#include <stdint.h>

// From this revision on: the current extended CRTC defaults and the higher FIFO thresholds.
constexpr uint8_t kControllerRevision20 = 0x20;
// This revision exactly: its own pixel-clock table and further extended register values.
constexpr uint8_t kControllerRevision40 = 0x40;
