// The PEI services pointer for code that is not handed one: the PEI core keeps it in the
// pointer-sized word just below the interrupt descriptor table's base.
#pragma once

#include "access/cpu.h"
#include "uefi/pi_pei.h"

// Null when the core has not published it.
inline const EFI_PEI_SERVICES **CurrentPeiServices() {
  return reinterpret_cast<const EFI_PEI_SERVICES **>(AsmReadPeiServicesPointer());
}
