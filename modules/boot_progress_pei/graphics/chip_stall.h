// Delays of the chip start-up, through the PEI stall service, and the budget its waits share.
#pragma once

#include <stdint.h>

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Locates the stall PPI and stalls `microseconds`. The PPI is part of every PEI core; should it be
// missing, the call returns at once rather than call through a null pointer.
void ChipStall(const EFI_PEI_SERVICES **peiServices, uint32_t microseconds);

// Every wait of one start-up draws on one budget as well as on its own bound: a status read costs
// one unit, a retry's stall a unit per microsecond. A chip that keeps each wait just short of its
// bound would otherwise multiply them (PHY tries, tests, attempts) into hours. StartController
// clears state->ChipWaitSpent; a zeroed record starts with the whole budget.
// Charges `units`; false once the budget is spent, and the wait then ends with EFI_TIMEOUT.
bool ChargeChipWait(const GraphicsDeviceState *state, uint32_t units);

// PollUntil (bounded_poll.h) that charges each poll to the start-up's budget.
template <typename Ready>
EFI_STATUS ChipPollUntil(const GraphicsDeviceState *state, uint32_t maxPolls, Ready ready) {
  for (uint32_t poll = 0; poll < maxPolls; ++poll) {
    if (!ChargeChipWait(state, 1)) {
      return EFI_TIMEOUT;
    }
    if (ready()) {
      return EFI_SUCCESS;
    }
  }
  return EFI_TIMEOUT;
}
