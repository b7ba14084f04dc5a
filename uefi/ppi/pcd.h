// PCD_PPI: platform configuration values by token number. Fields up to GetSize are typed; the
// module uses Get64 (fifth field) and GetPtr (sixth).
#pragma once

#include "uefi/pi_pei.h"

inline constexpr EFI_GUID gPcdPpiGuid = {
    0x06E81C58, 0x4AD7, 0x44BC, {0x83, 0x90, 0xF1, 0x02, 0x65, 0xF7, 0x24, 0x80}};

using PCD_PPI_SET_SKU = VOID(EFIAPI *)(UINTN SkuId);
using PCD_PPI_GET8 = UINT8(EFIAPI *)(UINTN TokenNumber);
using PCD_PPI_GET16 = UINT16(EFIAPI *)(UINTN TokenNumber);
using PCD_PPI_GET32 = UINT32(EFIAPI *)(UINTN TokenNumber);
using PCD_PPI_GET64 = UINT64(EFIAPI *)(UINTN TokenNumber);
using PCD_PPI_GET_POINTER = VOID *(EFIAPI *)(UINTN TokenNumber);
using PCD_PPI_GET_BOOLEAN = BOOLEAN(EFIAPI *)(UINTN TokenNumber);
using PCD_PPI_GET_SIZE = UINTN(EFIAPI *)(UINTN TokenNumber);

struct PCD_PPI {
  PCD_PPI_SET_SKU SetSku;
  PCD_PPI_GET8 Get8;
  PCD_PPI_GET16 Get16;
  PCD_PPI_GET32 Get32;
  PCD_PPI_GET64 Get64;
  PCD_PPI_GET_POINTER GetPtr;
  PCD_PPI_GET_BOOLEAN GetBool;
  PCD_PPI_GET_SIZE GetSize;
  // The Ex accessors, callback registration and token enumeration follow in the published
  // layout; nothing here calls them.
};

constexpr UINTN kPcdTokenPciExpressBaseAddress = 5;
constexpr UINTN kPcdTokenPciSegmentTable = 6;
