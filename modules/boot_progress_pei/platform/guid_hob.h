// The module's GUID extension HOBs: creating them, and walking the HOB list for them, stepping
// from HOB to HOB by the length field.
#pragma once

#include "uefi/pi_hob.h"
#include "uefi/pi_pei.h"

// Creates a GUID HOB of `size` bytes (header and name included) named `name` and stores it in
// *hob. Everything after the name reads zero: the PEI core neither clears a new HOB's body nor
// the bytes its length is rounded up by. Fails with CreateHob's status, or EFI_OUT_OF_RESOURCES
// when CreateHob succeeds without giving a HOB.
EFI_STATUS CreateGuidHob(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *name, UINT16 size,
                         VOID **hob);

// Walks forward from *position (exclusive) to the GUID HOB named `name` and stores it in
// *position. EFI_NOT_FOUND at the end of the list, leaving *position unchanged.
EFI_STATUS FindGuidHob(const EFI_GUID *name, VOID **position);

// Steps from *hob to the next GUID extension HOB. A HOB length shorter than the generic header
// (0 included) cannot be stepped over and ends the walk like the end-of-list HOB does.
EFI_STATUS NextGuidHob(VOID **hob);
