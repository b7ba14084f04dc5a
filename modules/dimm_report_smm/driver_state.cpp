#include "modules/dimm_report_smm/driver_state.h"

#include "modules/dimm_report_smm/module_global.h"

MODULE_GLOBAL EFI_HANDLE ImageHandle;
MODULE_GLOBAL EFI_SYSTEM_TABLE *SystemTable;
MODULE_GLOBAL EFI_BOOT_SERVICES *BootServices;
MODULE_GLOBAL EFI_RUNTIME_SERVICES *RuntimeServices;
MODULE_GLOBAL EFI_SMM_SYSTEM_TABLE2 *SmmServices;
MODULE_GLOBAL EFI_SMRAM_DESCRIPTOR *SmramRanges;
MODULE_GLOBAL UINT64 SmramRangeCount;
MODULE_GLOBAL PCD_PROTOCOL *PcdInterface;
MODULE_GLOBAL UINT64 PciExpressBase;
MODULE_GLOBAL UINT64 TscFrequency;
MODULE_GLOBAL UINT8 PcdPointerCopy[kPcdPointerCopySize];
MODULE_GLOBAL VOID *PlatformSmmInterfaceA;
MODULE_GLOBAL VOID *PlatformSmmInterfaceB;
MODULE_GLOBAL UINT64 PlatformBootValue;
MODULE_GLOBAL EFI_STATUS DriverEntryStatus;
