#include "modules/boot_progress_pei/graphics/chip_stall.h"

#include "uefi/ppi/stall.h"

void ChipStall(const EFI_PEI_SERVICES **peiServices, uint32_t microseconds) {
  EFI_PEI_STALL_PPI *stall = nullptr;
  (*peiServices)
      ->LocatePpi(peiServices, &gEfiPeiStallPpiGuid, 0, nullptr, reinterpret_cast<VOID **>(&stall));
  if (stall != nullptr) {
    stall->Stall(peiServices, stall, microseconds);
  }
}
