// The image entry point and its exit protocol: the load-time steps, then the report under a
// saved context, then the release step when the report failed.
#pragma once

#include "modules/dimm_report_smm/jump_context.h"
#include "uefi/uefi_system_table.h"

extern JumpBuffer JumpContext;

extern "C" EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE imageHandle, EFI_SYSTEM_TABLE *systemTable);

// Records `status` as the load status (unless it is an error and the load status already is a
// success) and resumes DriverEntry after its SetJump.
[[noreturn]] VOID ExitDriver(EFI_STATUS status);

// Releases what a failed load leaves allocated: the SMRAM map.
VOID RunReleaseSteps();
