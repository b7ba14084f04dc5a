// Names of UEFI status codes, by class (error bit 31, bits 30 and 29) and the code's low 29 bits.
// The names are kept as one run of terminated strings, row after row, rather than as tables of
// pointers: a name is found by stepping over the names before it.
#include "modules/boot_progress_pei/platform/text_format.h"

namespace {

constexpr UINT32 kErrorBit = 0x80000000u;
constexpr UINT32 kBit30 = 0x40000000u; // with the error bit: the database-engine codes
constexpr UINT32 kBit29 = 0x20000000u; // the interrupt and image-unload codes
constexpr UINT32 kCodeMask = 0x1FFFFFFFu;

// Every name, each with its terminator: the rows of NameRow below, in this order.
constexpr CHAR8 kNames[] =
    // kSuccessRow: code 0
    "EFI_SUCCESS\0"
    // kWarningRow: codes 1 to 4
    "EFI_WARN_UNKNOWN_GLYPH\0"
    "EFI_WARN_DELETE_FAILURE\0"
    "EFI_WARN_WRITE_FAILURE\0"
    "EFI_WARN_BUFFER_TOO_SMALL\0"
    // kInterruptWarningRow: codes 0 and 1
    "EFI_WARN_INTERRUPT_SOURCE_PENDING\0"
    "EFI_WARN_INTERRUPT_SOURCE_QUIESCED\0"
    // kInterruptErrorRow: codes 0 to 2
    "EFI_INTERRUPT_PENDING\0"
    "EFI_REQUEST_UNLOAD_IMAGE\0"
    "EFI_NOT_AVAILABLE_YET\0"
    // kDatabaseErrorRow: codes 1 and 2
    "EFI_DBE_EOF\0"
    "EFI_DBE_BOF\0"
    // kErrorRow: codes 1 to 30
    "EFI_LOAD_ERROR\0"
    "EFI_INVALID_PARAMETER\0"
    "EFI_UNSUPPORTED\0"
    "EFI_BAD_BUFFER_SIZE\0"
    "EFI_BUFFER_TOO_SMALL\0"
    "EFI_NOT_READY\0"
    "EFI_DEVICE_ERROR\0"
    "EFI_WRITE_PROTECTED\0"
    "EFI_OUT_OF_RESOURCES\0"
    "EFI_VOLUME_CORRUPTED\0"
    "EFI_VOLUME_FULL\0"
    "EFI_NO_MEDIA\0"
    "EFI_MEDIA_CHANGED\0"
    "EFI_NOT_FOUND\0"
    "EFI_ACCESS_DENIED\0"
    "EFI_NO_RESPONSE\0"
    "EFI_NO_MAPPING\0"
    "EFI_TIMEOUT\0"
    "EFI_NOT_STARTED\0"
    "EFI_ALREADY_STARTED\0"
    "EFI_ABORTED\0"
    "EFI_ICMP_ERROR\0"
    "EFI_TFTP_ERROR\0"
    "EFI_PROTOCOL_ERROR\0"
    "EFI_INCOMPATIBLE_VERSION\0"
    "EFI_SECURITY_VIOLATION\0"
    "EFI_CRC_ERROR\0"
    "EFI_END_OF_MEDIA\0"
    "EFI_UNDEFINED_29\0"
    "EFI_UNDEFINED_30";

// A run of names for codes First, First + 1, ..., starting with name number FirstName of kNames.
struct NameRow {
  UINT8 FirstName;
  UINT8 First;
  UINT8 Count;
};

constexpr NameRow kSuccessRow = {0, 0, 1};
constexpr NameRow kWarningRow = {1, 1, 4};
constexpr NameRow kInterruptWarningRow = {5, 0, 2};
constexpr NameRow kInterruptErrorRow = {7, 0, 3};
constexpr NameRow kDatabaseErrorRow = {10, 1, 2};
constexpr NameRow kErrorRow = {12, 1, 30};
constexpr UINT32 kNameCount = 42;

// The number of terminated names in kNames, so that the rows above cannot run past its end.
constexpr UINT32 CountNames() {
  UINT32 count = 0;
  for (CHAR8 c : kNames) {
    count += c == 0 ? 1 : 0;
  }
  return count;
}
static_assert(CountNames() == kNameCount);
static_assert(kErrorRow.FirstName + kErrorRow.Count == kNameCount);

const CHAR8 *Lookup(const NameRow &row, UINT32 code) {
  if (code < row.First || code - row.First >= row.Count) {
    return nullptr;
  }
  const CHAR8 *name = kNames;
  for (UINT32 skip = row.FirstName + (code - row.First); skip > 0; --skip) {
    while (*name++ != 0) {
    }
  }
  return name;
}

} // namespace

const CHAR8 *StatusName(UINT32 status) {
  const UINT32 code = status & kCodeMask;
  if (status == 0) {
    return Lookup(kSuccessRow, code);
  }
  if ((status & kErrorBit) == 0) {
    return Lookup((status & kBit29) != 0 ? kInterruptWarningRow : kWarningRow, code);
  }
  if ((status & kBit29) != 0) { // also takes codes with bit 30 set
    return Lookup(kInterruptErrorRow, code);
  }
  return Lookup((status & kBit30) != 0 ? kDatabaseErrorRow : kErrorRow, code);
}
