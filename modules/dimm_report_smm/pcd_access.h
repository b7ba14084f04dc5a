// Platform configuration values through PCD_PROTOCOL.
#pragma once

#include "uefi/protocol/pcd.h"

constexpr UINTN kPcdTokenPciExpressBase = 5;  // ECAM base
constexpr UINTN kPcdTokenPlatformPointer = 7; // pointer-type value the driver keeps a copy of

// The PCD protocol: cached after the first lookup (the lookup's status is not examined).
PCD_PROTOCOL *GetPcdInterface();

// Load-time step: copies the bytes of token 7 into PcdPointerCopy, at most its 136 bytes.
EFI_STATUS CopyPcdPointer();
