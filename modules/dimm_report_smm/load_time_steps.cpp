#include "modules/dimm_report_smm/load_time_steps.h"

#include "modules/dimm_report_smm/dimm_guids.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/hob_list_lookup.h"
#include "modules/dimm_report_smm/pcd_access.h"
#include "uefi/protocol/smm_base2.h"

EFI_STATUS LocateSmmServices() {
  EFI_SMM_BASE2_PROTOCOL *smmBase = nullptr;
  if (BootServices == nullptr ||
      EFI_ERROR(BootServices->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr,
                                             reinterpret_cast<VOID **>(&smmBase))) ||
      smmBase == nullptr) {
    return EFI_NOT_FOUND;
  }
  return smmBase->GetSmstLocation(smmBase, &SmmServices);
}

EFI_STATUS CapturePlatformSmmInterface() {
  if (PlatformSmmInterfaceA == nullptr && SmmServices != nullptr) {
    SmmServices->SmmLocateProtocol(&PlatformSmmInterfaceAGuid, nullptr, &PlatformSmmInterfaceA);
  }
  return EFI_SUCCESS;
}

EFI_STATUS ReadPciExpressBase() {
  PCD_PROTOCOL *pcd = GetPcdInterface();
  if (pcd == nullptr) {
    return EFI_NOT_FOUND;
  }
  PciExpressBase = pcd->Get64(kPcdTokenPciExpressBase);
  return EFI_SUCCESS;
}

EFI_STATUS CacheHobList() { return GetHobList() != nullptr ? EFI_SUCCESS : EFI_NOT_FOUND; }

EFI_STATUS RunLoadTimeSteps(EFI_HANDLE imageHandle, EFI_SYSTEM_TABLE *systemTable) {
  ImageHandle = imageHandle;
  SystemTable = systemTable;
  if (systemTable != nullptr) {
    BootServices = systemTable->BootServices;
    RuntimeServices = systemTable->RuntimeServices;
  }
  EFI_STATUS status = EFI_SUCCESS;
  for (UINTN i = 0; i < LoadTimeStepCount; ++i) {
    status = LoadTimeSteps[i]();
  }
  return status;
}
