// Delays of the chip start-up, through the PEI stall service.
#pragma once

#include <stdint.h>

#include "uefi/pi_pei.h"

// Locates the stall PPI and stalls `microseconds`. The PPI is part of every PEI core; should it be
// missing, the call returns at once rather than call through a null pointer.
void ChipStall(const EFI_PEI_SERVICES **peiServices, uint32_t microseconds);
