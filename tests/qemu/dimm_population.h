// The DIMM population the board-events PEIM describes in its memory-topology HOB for the SMM run.
// tests/qemu/smm-board.json gives the simulator the same slots.
#pragma once

#include "uefi/uefi_base.h"

namespace qemu_test {

struct PopulatedSlot {
  UINT8 socket, channel, slot;
};

inline constexpr PopulatedSlot kPopulatedSlots[] = {
    {0, 0, 0}, {0, 0, 1}, {0, 3, 0}, {1, 1, 1}, {2, 4, 1}, {3, 0, 0}, {3, 5, 1},
};

} // namespace qemu_test
