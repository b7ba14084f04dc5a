// Module-wide state of DimmReportSmm shared by its load-time steps, the report and the release
// step. Every variable starts zero at load.
#pragma once

#include "uefi/pi_smm.h"
#include "uefi/protocol/pcd.h"

extern EFI_HANDLE ImageHandle;
extern EFI_SYSTEM_TABLE *SystemTable;
extern EFI_BOOT_SERVICES *BootServices;
extern EFI_RUNTIME_SERVICES *RuntimeServices;
extern EFI_SMM_SYSTEM_TABLE2 *SmmServices;

// The SMRAM map from EFI_SMM_ACCESS2_PROTOCOL, in SMM pool.
extern EFI_SMRAM_DESCRIPTOR *SmramRanges;
extern UINT64 SmramRangeCount;

extern PCD_PROTOCOL *PcdInterface; // cache of GetPcdInterface
extern UINT64 PciExpressBase;      // ECAM base, PCD token 5
extern UINT64 TscFrequency;        // time-stamp-counter ticks per second

constexpr UINTN kPcdPointerCopySize = 136;
extern UINT8 PcdPointerCopy[kPcdPointerCopySize]; // bytes of pointer PCD token 7

// Captured platform interfaces: two SMM interface pointers and the first 64-bit field of the
// boot-time interface.
extern VOID *PlatformSmmInterfaceA;
extern VOID *PlatformSmmInterfaceB;
extern UINT64 PlatformBootValue;

// The driver's load status.
extern EFI_STATUS DriverEntryStatus;
