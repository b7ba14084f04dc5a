// Hand-off block (HOB) layouts of the PI specification, volume 3.
#pragma once

#include "uefi/uefi_base.h"

constexpr UINT16 EFI_HOB_TYPE_HANDOFF = 0x0001;
constexpr UINT16 EFI_HOB_TYPE_MEMORY_ALLOCATION = 0x0002;
constexpr UINT16 EFI_HOB_TYPE_RESOURCE_DESCRIPTOR = 0x0003;
constexpr UINT16 EFI_HOB_TYPE_GUID_EXTENSION = 0x0004;
constexpr UINT16 EFI_HOB_TYPE_UNUSED = 0xFFFE;
constexpr UINT16 EFI_HOB_TYPE_END_OF_HOB_LIST = 0xFFFF;

struct EFI_HOB_GENERIC_HEADER {
  UINT16 HobType;
  UINT16 HobLength;
  UINT32 Reserved;
};
static_assert(sizeof(EFI_HOB_GENERIC_HEADER) == 8);

using EFI_PHYSICAL_ADDRESS = UINT64;

// The PHIT HOB opens every HOB list. Its 64-bit fields sit at natural alignment on both IA32 and
// X64, because the header is 8 bytes and Version/BootMode fill the next 8.
struct EFI_HOB_HANDOFF_INFO_TABLE {
  EFI_HOB_GENERIC_HEADER Header;
  UINT32 Version;
  UINT32 BootMode;
  EFI_PHYSICAL_ADDRESS EfiMemoryTop;
  EFI_PHYSICAL_ADDRESS EfiMemoryBottom;
  EFI_PHYSICAL_ADDRESS EfiFreeMemoryTop;
  EFI_PHYSICAL_ADDRESS EfiFreeMemoryBottom;
  EFI_PHYSICAL_ADDRESS EfiEndOfHobList;
};
static_assert(sizeof(EFI_HOB_HANDOFF_INFO_TABLE) == 56);

constexpr UINT32 EFI_HOB_HANDOFF_TABLE_VERSION = 0x0009;

struct EFI_HOB_GUID_TYPE {
  EFI_HOB_GENERIC_HEADER Header;
  EFI_GUID Name;
  // Followed by the GUID-specific data.
};
static_assert(sizeof(EFI_HOB_GUID_TYPE) == 24);
