// Bounded waits on hardware. Every wait names its bound where it is declared, with a line on why
// the value is what it is, and reports whether the condition came true; none can spin forever.
// A delay between polls comes from the PEI Stall service, so virtual time advances in the
// simulator exactly as real time does on the board.
#pragma once

#include <stdint.h>

#include "uefi/pi_pei.h"
#include "uefi/ppi/stall.h"

struct PollBound {
  uint32_t MaxPolls; // how often `ready` is asked before giving up
  uint32_t DelayUs;  // Stall between two polls; 0 polls back to back
};

// Asks `ready()` up to bound.MaxPolls times, stalling bound.DelayUs between polls. Returns
// EFI_SUCCESS as soon as it answers true, EFI_TIMEOUT when the bound runs out. With a delay and
// no stall PPI installed the polls run back to back.
template <typename Ready>
EFI_STATUS PollUntil(const EFI_PEI_SERVICES **peiServices, PollBound bound, Ready ready) {
  EFI_PEI_STALL_PPI *stall = nullptr;
  if (bound.DelayUs != 0) {
    (*peiServices)
        ->LocatePpi(peiServices, &gEfiPeiStallPpiGuid, 0, nullptr,
                    reinterpret_cast<VOID **>(&stall));
  }
  for (uint32_t poll = 0; poll < bound.MaxPolls; ++poll) {
    if (ready()) {
      return EFI_SUCCESS;
    }
    if (stall != nullptr && poll + 1 < bound.MaxPolls) {
      stall->Stall(peiServices, stall, bound.DelayUs);
    }
  }
  return EFI_TIMEOUT;
}

// The same without delay and without services: for polls whose pace is the bus itself.
template <typename Ready>
EFI_STATUS PollUntil(uint32_t maxPolls, Ready ready) {
  for (uint32_t poll = 0; poll < maxPolls; ++poll) {
    if (ready()) {
      return EFI_SUCCESS;
    }
  }
  return EFI_TIMEOUT;
}
