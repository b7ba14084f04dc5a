// The progress record: a 28-byte GUID HOB that hands the last drawn percentage to later phases.
#pragma once

#include "modules/boot_progress_pei/platform/guid_hob.h"
#include "uefi/pi_hob.h"
#include "uefi/pi_pei.h"

struct ProgressRecord {
  EFI_HOB_GUID_TYPE Hob; // type 0x0004, length 28, name ProgressRecordGuid
  UINT8 Marker;          // 1, written once at creation
  UINT8 Reserved;        // never written
  UINT16 Percent;        // percentage of the bar last drawn
};
static_assert(sizeof(ProgressRecord) == 28);
static_assert(offsetof(ProgressRecord, Marker) == 24);
static_assert(offsetof(ProgressRecord, Percent) == 26);

constexpr UINT8 kProgressRecordMarker = 1;

// Finds the record in the HOB list. EFI_SUCCESS, GetHobList's failure, or EFI_NOT_FOUND.
EFI_STATUS FindProgressRecord(const EFI_PEI_SERVICES **peiServices, ProgressRecord **record);
