// Platform configuration values through the PCD PPI, located afresh for every read with the
// services pointer below the IDT base.
#pragma once

#include "uefi/uefi_base.h"

// The token's 64-bit value; 0 when no services pointer or no PCD PPI is there.
UINT64 PlatformPcdGet64(UINTN token);
// The token's pointer value; null when no services pointer or no PCD PPI is there.
const VOID *PlatformPcdGetPtr(UINTN token);
