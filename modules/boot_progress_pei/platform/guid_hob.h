// Walking the HOB list for GUID extension HOBs, stepping from HOB to HOB by the length field.
#pragma once

#include "uefi/pi_hob.h"

// Walks forward from *position (exclusive) to the GUID HOB named `name` and stores it in
// *position. EFI_NOT_FOUND at the end of the list, leaving *position unchanged.
EFI_STATUS FindGuidHob(const EFI_GUID *name, VOID **position);

// Steps from *hob to the next GUID extension HOB. A HOB length shorter than the generic header
// (0 included) cannot be stepped over and ends the walk like the end-of-list HOB does.
EFI_STATUS NextGuidHob(VOID **hob);
