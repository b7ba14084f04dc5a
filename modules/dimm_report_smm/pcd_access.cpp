#include "modules/dimm_report_smm/pcd_access.h"

#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/memory_primitives.h"

PCD_PROTOCOL *GetPcdInterface() {
  if (PcdInterface == nullptr && BootServices != nullptr) {
    BootServices->LocateProtocol(&gPcdProtocolGuid, nullptr,
                                 reinterpret_cast<VOID **>(&PcdInterface));
  }
  return PcdInterface;
}

EFI_STATUS CopyPcdPointer() {
  PCD_PROTOCOL *pcd = GetPcdInterface();
  if (pcd == nullptr) {
    return EFI_NOT_FOUND;
  }
  const VOID *source = pcd->GetPtr(kPcdTokenPlatformPointer);
  UINTN size = pcd->GetSize(kPcdTokenPlatformPointer);
  if (size == 0 || source == nullptr || source == PcdPointerCopy) {
    return EFI_SUCCESS;
  }
  // The copy holds 136 bytes; a longer value is cut rather than written past it.
  if (size > sizeof(PcdPointerCopy)) {
    size = sizeof(PcdPointerCopy);
  }
  CopyMemory(PcdPointerCopy, source, size);
  return EFI_SUCCESS;
}
