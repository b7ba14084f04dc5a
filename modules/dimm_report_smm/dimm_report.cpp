#include "modules/dimm_report_smm/dimm_report.h"

#include "modules/dimm_report_smm/dimm_guids.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/hob_list_lookup.h"
#include "modules/dimm_report_smm/memory_topology_hob.h"
#include "modules/dimm_report_smm/module_global.h"
#include "uefi/pi_hob.h"

MODULE_GLOBAL DIMM_RECORD_SINK_PROTOCOL *SinkInterface;

namespace {
constexpr UINT8 kRecordHead = 0xE2;
constexpr UINT8 kRecordKind = 0x10;
constexpr UINT8 kRecordVersion = 0x01;
constexpr UINT32 kChannelsPerGroup = 3;

UINT16 ReadUnaligned16(const UINT8 *p) { return static_cast<UINT16>(p[0] | p[1] << 8); }

// The memory-topology HOB, or null. The walk stops at the end HOB and at a length that cannot
// be a HOB's, so a broken list ends the search instead of reading past it.
const UINT8 *FindMemoryTopologyHob(const UINT8 *hob, UINTN *length) {
  if (hob == nullptr) {
    return nullptr;
  }
  for (;;) {
    const UINT16 type = ReadUnaligned16(hob);
    const UINT16 hobLength = ReadUnaligned16(hob + 2);
    if (type == EFI_HOB_TYPE_END_OF_HOB_LIST || hobLength < sizeof(EFI_HOB_GENERIC_HEADER)) {
      return nullptr;
    }
    if (type == EFI_HOB_TYPE_GUID_EXTENSION && hobLength >= sizeof(EFI_HOB_GUID_TYPE) &&
        GuidEquals(reinterpret_cast<const EFI_GUID *>(hob + sizeof(EFI_HOB_GENERIC_HEADER)),
                   &MemoryTopologyHobGuid)) {
      *length = hobLength;
      return hob;
    }
    hob += hobLength;
  }
}

// Both bytes of the entry must lie inside the HOB; a shorter HOB has no entry there.
bool SlotPopulated(const UINT8 *hob, UINTN length, UINT32 socket, UINT32 channel, UINT32 slot) {
  const UINTN entry = MemoryTopologyLayout::DimmOffset(socket, channel, slot);
  if (entry + MemoryTopologyLayout::kDimmLastByte >= length) {
    return false;
  }
  return hob[entry + MemoryTopologyLayout::kDimmLastByte] != 0 &&
         hob[entry + MemoryTopologyLayout::kDimmFirstByte] != 0;
}
} // namespace

DimmRecord MakeDimmRecord(UINT32 socket, UINT32 channel, UINT32 slot) {
  DimmRecord record = {};
  record.Bytes[0] = kRecordHead;
  record.Bytes[3] = kRecordKind;
  record.Bytes[4] = kRecordVersion;
  record.Bytes[5] = static_cast<UINT8>(socket * 2 + channel / kChannelsPerGroup);
  record.Bytes[6] = static_cast<UINT8>(channel % kChannelsPerGroup);
  record.Bytes[7] = static_cast<UINT8>(slot);
  return record;
}

EFI_STATUS DimmReportEntryPoint(EFI_HANDLE, EFI_SYSTEM_TABLE *) {
  UINTN length = 0;
  const UINT8 *hob = FindMemoryTopologyHob(static_cast<const UINT8 *>(GetHobList()), &length);
  if (hob == nullptr) {
    return EFI_DEVICE_ERROR;
  }
  for (UINT32 socket = 0; socket < MemoryTopologyLayout::kSockets; ++socket) {
    for (UINT32 channel = 0; channel < MemoryTopologyLayout::kChannelsPerSocket; ++channel) {
      for (UINT32 slot = 0; slot < MemoryTopologyLayout::kSlotsPerChannel; ++slot) {
        if (SlotPopulated(hob, length, socket, channel, slot)) {
          const DimmRecord record = MakeDimmRecord(socket, channel, slot);
          SendDimmRecord(&record); // a record the sink refuses does not stop the walk
        }
      }
    }
  }
  return EFI_SUCCESS;
}

EFI_STATUS SendDimmRecord(const DimmRecord *record) {
  if (SinkInterface == nullptr) {
    if (SmmServices == nullptr) {
      return EFI_NOT_READY;
    }
    const EFI_STATUS status = SmmServices->SmmLocateProtocol(
        &DimmRecordSinkProtocolGuid, nullptr, reinterpret_cast<VOID **>(&SinkInterface));
    if (EFI_ERROR(status)) {
      SinkInterface = nullptr; // whatever a failed lookup left there is not an interface
      return status;
    }
    if (SinkInterface == nullptr) {
      return EFI_NOT_FOUND;
    }
  }
  UINT64 result = 0;
  return SinkInterface->SubmitRecord(SinkInterface, record, 0, 0, sizeof(DimmRecord), &result);
}
