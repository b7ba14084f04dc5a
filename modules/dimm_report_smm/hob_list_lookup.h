// The HOB list, found through the system table's configuration table and cached.
#pragma once

#include "uefi/uefi_base.h"

// Address of the first HOB, or null when the configuration table has no HOB-list entry (then
// the next call scans again).
VOID *GetHobList();
