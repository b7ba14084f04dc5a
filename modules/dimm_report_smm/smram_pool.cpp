#include "modules/dimm_report_smm/smram_pool.h"

#include "modules/dimm_report_smm/driver_state.h"
#include "uefi/protocol/smm_access2.h"

VOID *AllocateSmramPool(UINTN size) {
  if (SmmServices == nullptr) {
    return nullptr;
  }
  VOID *buffer = nullptr;
  if (EFI_ERROR(SmmServices->SmmAllocatePool(EfiRuntimeServicesData, size, &buffer))) {
    return nullptr;
  }
  return buffer;
}

bool IsBufferInSmram(UINTN address) {
  for (UINT64 i = 0; SmramRanges != nullptr && i < SmramRangeCount; ++i) {
    const EFI_SMRAM_DESCRIPTOR &range = SmramRanges[i];
    if (range.CpuStart <= address && address - range.CpuStart < range.PhysicalSize) {
      return true;
    }
  }
  return false;
}

VOID ReleasePool(VOID *buffer) {
  if (IsBufferInSmram(reinterpret_cast<UINTN>(buffer))) {
    if (SmmServices != nullptr) {
      SmmServices->SmmFreePool(buffer);
    }
  } else if (BootServices != nullptr) {
    BootServices->FreePool(buffer);
  }
}

EFI_STATUS FetchSmramMap() {
  EFI_SMM_ACCESS2_PROTOCOL *access = nullptr;
  if (BootServices == nullptr ||
      EFI_ERROR(BootServices->LocateProtocol(&gEfiSmmAccess2ProtocolGuid, nullptr,
                                             reinterpret_cast<VOID **>(&access))) ||
      access == nullptr) {
    return EFI_NOT_FOUND;
  }
  UINTN size = 0;
  access->GetCapabilities(access, &size, nullptr); // EFI_BUFFER_TOO_SMALL, with the size
  if (size == 0) {
    return EFI_NOT_FOUND;
  }
  SmramRanges = static_cast<EFI_SMRAM_DESCRIPTOR *>(AllocateSmramPool(size));
  if (SmramRanges == nullptr) {
    return EFI_OUT_OF_RESOURCES; // no map: every buffer counts as outside SMRAM
  }
  const EFI_STATUS status = access->GetCapabilities(access, &size, SmramRanges);
  if (EFI_ERROR(status)) {
    return status; // the buffer stays allocated for the release step, but describes nothing
  }
  SmramRangeCount = size / sizeof(EFI_SMRAM_DESCRIPTOR);
  return EFI_SUCCESS;
}
