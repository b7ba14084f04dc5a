// EFI_SMM_ACCESS2_PROTOCOL (PI specification, volume 4): SMRAM open/close/lock and the SMRAM map.
#pragma once

#include "uefi/pi_smm.h"

inline constexpr EFI_GUID gEfiSmmAccess2ProtocolGuid = {
    0xC2702B74, 0x800C, 0x4131, {0x87, 0x46, 0x8F, 0xB5, 0xB8, 0x9C, 0xE4, 0xAC}};

struct EFI_SMM_ACCESS2_PROTOCOL;

using EFI_SMM_OPEN2 = EFI_STATUS(EFIAPI *)(EFI_SMM_ACCESS2_PROTOCOL *This);
using EFI_SMM_CLOSE2 = EFI_STATUS(EFIAPI *)(EFI_SMM_ACCESS2_PROTOCOL *This);
using EFI_SMM_LOCK2 = EFI_STATUS(EFIAPI *)(EFI_SMM_ACCESS2_PROTOCOL *This);
// Fills SmramMap and sets *SmramMapSize to the bytes it needs; EFI_BUFFER_TOO_SMALL (with the
// size set) when the buffer given is smaller.
using EFI_SMM_CAPABILITIES2 = EFI_STATUS(EFIAPI *)(const EFI_SMM_ACCESS2_PROTOCOL *This,
                                                   UINTN *SmramMapSize,
                                                   EFI_SMRAM_DESCRIPTOR *SmramMap);

struct EFI_SMM_ACCESS2_PROTOCOL {
  EFI_SMM_OPEN2 Open;
  EFI_SMM_CLOSE2 Close;
  EFI_SMM_LOCK2 Lock;
  EFI_SMM_CAPABILITIES2 GetCapabilities;
  BOOLEAN LockState;
  BOOLEAN OpenState;
};
