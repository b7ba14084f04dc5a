// An SMM driver that receives DimmReportSmm's records in real firmware: it installs the
// record-sink protocol in the SMM protocol database, and its SubmitRecord writes each 16-byte
// record to the debug console as one line of hex, "record-sink: " first.
#include "tests/qemu/debug_console.h"
#include "uefi/pi_smm.h"
#include "uefi/protocol/smm_base2.h"
#include "uefi/uefi_system_table.h"

namespace {
using qemu_test::ConsoleHex;
using qemu_test::ConsoleLine;
using qemu_test::ConsoleText;

constexpr EFI_GUID kDimmRecordSinkGuid = {
    0x59D02FCD, 0x9233, 0x4D34, {0xBC, 0xFE, 0x87, 0xCA, 0x81, 0xD3, 0xDD, 0xA7}};
constexpr UINTN kRecordSize = 16;
constexpr UINT32 kNativeInterface = 0; // EFI_NATIVE_INTERFACE

using SmmInstallProtocolInterface = EFI_STATUS(EFIAPI *)(EFI_HANDLE *Handle,
                                                         const EFI_GUID *Protocol,
                                                         UINT32 InterfaceType, VOID *Interface);

struct RecordSink {
  EFI_STATUS(EFIAPI *SubmitRecord)
  (RecordSink *This, const UINT8 *Record, UINTN Arg3, UINTN Arg4, UINTN Size, UINT64 *Result);
};

EFI_STATUS EFIAPI SubmitRecord(RecordSink *, const UINT8 *record, UINTN, UINTN, UINTN size,
                               UINT64 *result) {
  ConsoleText("record-sink: ");
  for (UINTN i = 0; i < kRecordSize; ++i) {
    ConsoleHex(record[i], 2);
  }
  ConsoleText(" size ");
  ConsoleHex(size, 4);
  ConsoleLine("");
  if (result != nullptr) {
    *result = 0;
  }
  return EFI_SUCCESS;
}

RecordSink sink = {SubmitRecord};
} // namespace

extern "C" EFI_STATUS EFIAPI RecordSinkEntry(EFI_HANDLE, EFI_SYSTEM_TABLE *systemTable) {
  ConsoleLine("record-sink: entry");
  EFI_SMM_BASE2_PROTOCOL *base = nullptr;
  EFI_STATUS status = systemTable->BootServices->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr,
                                                                reinterpret_cast<VOID **>(&base));
  EFI_SMM_SYSTEM_TABLE2 *smst = nullptr;
  if (!EFI_ERROR(status)) {
    status = base->GetSmstLocation(base, &smst);
  }
  if (EFI_ERROR(status) || smst == nullptr) {
    ConsoleLine("record-sink: no SMM system table");
    return EFI_ERROR(status) ? status : EFI_NOT_FOUND;
  }
  EFI_HANDLE handle = nullptr;
  status = reinterpret_cast<SmmInstallProtocolInterface>(smst->SmmInstallProtocolInterface)(
      &handle, &kDimmRecordSinkGuid, kNativeInterface, &sink);
  ConsoleText("record-sink: installed ");
  ConsoleHex(status, 16);
  ConsoleLine("");
  return status;
}
