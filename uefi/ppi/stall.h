// EFI_PEI_STALL_PPI: busy-wait for a number of microseconds.
#pragma once

#include "uefi/pi_pei.h"

inline constexpr EFI_GUID gEfiPeiStallPpiGuid = {
    0x1F4C6F90, 0xB06B, 0x48D8, {0xA2, 0x01, 0xBA, 0xE5, 0xF1, 0xCD, 0x7D, 0x56}};

struct EFI_PEI_STALL_PPI;

using EFI_PEI_STALL = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                           const EFI_PEI_STALL_PPI *This, UINTN Microseconds);

struct EFI_PEI_STALL_PPI {
  UINTN Resolution;
  EFI_PEI_STALL Stall;
};
