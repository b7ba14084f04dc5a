// The DIMM population report: one 16-byte record per populated DIMM slot of the memory-topology
// HOB, passed to the record sink in SMM.
#pragma once

#include "uefi/uefi_system_table.h"

struct DimmRecord {
  UINT8 Bytes[16];
};
static_assert(sizeof(DimmRecord) == 16);

// Byte 5 is the board-wide channel group (socket x 2 + channel / 3), byte 6 the channel in its
// group, byte 7 the slot; bytes 8 to 15 are 0.
DimmRecord MakeDimmRecord(UINT32 socket, UINT32 channel, UINT32 slot);

struct DIMM_RECORD_SINK_PROTOCOL;
using DIMM_RECORD_SINK_SUBMIT = EFI_STATUS(EFIAPI *)(DIMM_RECORD_SINK_PROTOCOL *This,
                                                     const DimmRecord *Record, UINTN Reserved1,
                                                     UINTN Reserved2, UINTN RecordSize,
                                                     UINT64 *Result);
struct DIMM_RECORD_SINK_PROTOCOL {
  DIMM_RECORD_SINK_SUBMIT SubmitRecord; // the only member used
};

extern DIMM_RECORD_SINK_PROTOCOL *SinkInterface;

// EFI_SUCCESS when the memory-topology HOB was found, whatever was sent; EFI_DEVICE_ERROR when
// it was not (also for no HOB list, or a list broken before the HOB).
EFI_STATUS DimmReportEntryPoint(EFI_HANDLE imageHandle, EFI_SYSTEM_TABLE *systemTable);

// Locates the sink on first use (again for each record until it is found) and submits the
// record: the sink's status, or the lookup's when no call was made.
EFI_STATUS SendDimmRecord(const DimmRecord *record);
