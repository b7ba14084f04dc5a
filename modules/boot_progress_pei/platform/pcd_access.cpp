#include "modules/boot_progress_pei/platform/pcd_access.h"

#include "modules/boot_progress_pei/platform/pei_services.h"
#include "uefi/ppi/pcd.h"

namespace {
PCD_PPI *LocatePcdPpi() {
  const EFI_PEI_SERVICES **services = CurrentPeiServices();
  if (services == nullptr) {
    return nullptr;
  }
  PCD_PPI *pcd = nullptr;
  const EFI_STATUS status =
      (*services)->LocatePpi(services, &gPcdPpiGuid, 0, nullptr, reinterpret_cast<VOID **>(&pcd));
  return EFI_ERROR(status) ? nullptr : pcd;
}
} // namespace

UINT64 PlatformPcdGet64(UINTN token) {
  PCD_PPI *pcd = LocatePcdPpi();
  return pcd != nullptr ? pcd->Get64(token) : 0;
}

const VOID *PlatformPcdGetPtr(UINTN token) {
  PCD_PPI *pcd = LocatePcdPpi();
  return pcd != nullptr ? pcd->GetPtr(token) : nullptr;
}
