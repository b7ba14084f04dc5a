// PCD_PROTOCOL: platform configuration values by token number, for drivers after PEI. Same
// accessor order as the PCD PPI; fields from GetSize on are kept as slots.
#pragma once

#include "uefi/uefi_base.h"

inline constexpr EFI_GUID gPcdProtocolGuid = {
    0x11B34006, 0xD85B, 0x4D0A, {0xA2, 0x90, 0xD5, 0xA5, 0x71, 0x31, 0x0E, 0xF7}};

using PCD_PROTOCOL_SET_SKU = VOID(EFIAPI *)(UINTN SkuId);
using PCD_PROTOCOL_GET8 = UINT8(EFIAPI *)(UINTN TokenNumber);
using PCD_PROTOCOL_GET16 = UINT16(EFIAPI *)(UINTN TokenNumber);
using PCD_PROTOCOL_GET32 = UINT32(EFIAPI *)(UINTN TokenNumber);
using PCD_PROTOCOL_GET64 = UINT64(EFIAPI *)(UINTN TokenNumber);
using PCD_PROTOCOL_GET_POINTER = VOID *(EFIAPI *)(UINTN TokenNumber);
using PCD_PROTOCOL_GET_BOOLEAN = BOOLEAN(EFIAPI *)(UINTN TokenNumber);
using PCD_PROTOCOL_GET_SIZE = UINTN(EFIAPI *)(UINTN TokenNumber);

struct PCD_PROTOCOL {
  PCD_PROTOCOL_SET_SKU SetSku;
  PCD_PROTOCOL_GET8 Get8;
  PCD_PROTOCOL_GET16 Get16;
  PCD_PROTOCOL_GET32 Get32;
  PCD_PROTOCOL_GET64 Get64;
  PCD_PROTOCOL_GET_POINTER GetPtr;
  PCD_PROTOCOL_GET_BOOLEAN GetBool;
  PCD_PROTOCOL_GET_SIZE GetSize;
  // The Ex accessors, the setters, callback registration and token enumeration follow in the
  // published layout; nothing here calls them.
};
