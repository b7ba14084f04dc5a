// SMM pool for the driver and release of pool by where it lives: SMRAM buffers go back to the
// SMM core, others to the boot services.
#pragma once

#include "uefi/uefi_base.h"

// A buffer of SMM pool (EfiRuntimeServicesData), or null when the allocation fails.
VOID *AllocateSmramPool(UINTN size);
// True when `address` lies in one of the SMRAM map's ranges (by CPU address).
bool IsBufferInSmram(UINTN address);
// Frees `buffer` to the SMM core or the boot services; the status is ignored.
VOID ReleasePool(VOID *buffer);

// Load-time step: fetches the SMRAM map from EFI_SMM_ACCESS2_PROTOCOL into SmramRanges.
EFI_STATUS FetchSmramMap();
