// The progress record: a GUID HOB that hands the last drawn percentage to later phases. The
// record is 28 bytes; the PEI core rounds the HOB's length up to 32, the padding reads zero.
#pragma once

#include "modules/boot_progress_pei/platform/guid_hob.h"
#include "uefi/pi_hob.h"
#include "uefi/pi_pei.h"

struct ProgressRecord {
  EFI_HOB_GUID_TYPE Hob; // type 0x0004, length 32, name ProgressRecordGuid
  UINT8 Marker;          // 1, written once at creation
  UINT8 Reserved;        // 0, cleared at creation
  UINT16 Percent;        // percentage of the bar last drawn
};
static_assert(sizeof(ProgressRecord) == 28);
static_assert(offsetof(ProgressRecord, Marker) == 24);
static_assert(offsetof(ProgressRecord, Percent) == 26);

constexpr UINT8 kProgressRecordMarker = 1;

// Finds the record in the HOB list. EFI_SUCCESS, GetHobList's failure, or EFI_NOT_FOUND.
EFI_STATUS FindProgressRecord(const EFI_PEI_SERVICES **peiServices, ProgressRecord **record);
