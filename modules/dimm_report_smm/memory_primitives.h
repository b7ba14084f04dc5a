// Small memory primitives of the driver.
#pragma once

#include "uefi/uefi_base.h"

// Copies `count` bytes; the ranges may overlap.
VOID CopyMemory(VOID *destination, const VOID *source, UINTN count);
