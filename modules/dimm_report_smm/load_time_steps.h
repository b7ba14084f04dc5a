// The driver's load-time steps, run in a fixed order before the report. None of them fails the
// load: a step whose interface is missing leaves its values zero and is skipped.
#pragma once

#include "uefi/uefi_system_table.h"

using LoadTimeStep = EFI_STATUS (*)();

// The steps after the entry's arguments are kept, in the order they run (load_time_order.cpp).
extern const LoadTimeStep LoadTimeSteps[];
extern const UINTN LoadTimeStepCount;

// Keeps the arguments and the tables they lead to, then runs LoadTimeSteps in order. Returns
// the status of the last step (the processor-topology step), which the entry discards.
EFI_STATUS RunLoadTimeSteps(EFI_HANDLE imageHandle, EFI_SYSTEM_TABLE *systemTable);

// Steps that live with the runner.
EFI_STATUS LocateSmmServices();
EFI_STATUS CapturePlatformSmmInterface();
EFI_STATUS ReadPciExpressBase();
EFI_STATUS CacheHobList();
