// Internal to the GPIO code: a pad found in the group table.
#pragma once

#include "modules/boot_progress_pei/platform/gpio.h"

struct PadLocation {
  const GpioGroupRow *Row;
  UINT32 Group;
  UINT32 Number;
};

// Finds the pad of `padCode` in the group table; false when there is no table, or its group or
// pad number lies outside it.
bool FindPad(UINT32 padCode, PadLocation *pad);
