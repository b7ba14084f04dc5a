// EFI_SMM_BASE2_PROTOCOL (PI specification, volume 4): whether the caller runs in SMRAM and where
// the SMM system table is.
#pragma once

#include "uefi/pi_smm.h"

inline constexpr EFI_GUID gEfiSmmBase2ProtocolGuid = {
    0xF4CCBFB7, 0xF6E0, 0x47FD, {0x9D, 0xD4, 0x10, 0xA8, 0xF1, 0x50, 0xC1, 0x91}};

struct EFI_SMM_BASE2_PROTOCOL;

using EFI_SMM_INSIDE_OUT2 = EFI_STATUS(EFIAPI *)(const EFI_SMM_BASE2_PROTOCOL *This,
                                                 BOOLEAN *InSmram);
using EFI_SMM_GET_SMST_LOCATION2 = EFI_STATUS(EFIAPI *)(const EFI_SMM_BASE2_PROTOCOL *This,
                                                        EFI_SMM_SYSTEM_TABLE2 **Smst);

struct EFI_SMM_BASE2_PROTOCOL {
  EFI_SMM_INSIDE_OUT2 InSmm;
  EFI_SMM_GET_SMST_LOCATION2 GetSmstLocation;
};
