// Names of UEFI status codes, by class (error bit 31, bits 30 and 29) and the code's low 29 bits.
#include "platform/text_format.h"

namespace {

constexpr UINT32 kErrorBit = 0x80000000u;
constexpr UINT32 kBit30 = 0x40000000u; // with the error bit: the database-engine codes
constexpr UINT32 kBit29 = 0x20000000u; // the interrupt and image-unload codes
constexpr UINT32 kCodeMask = 0x1FFFFFFFu;

// A run of names for codes First, First + 1, ...
struct NameRow {
  const CHAR8 *const *Names;
  UINT32 First;
  UINT32 Count;
};

const CHAR8 *const kWarnings[] = {"EFI_WARN_UNKNOWN_GLYPH", "EFI_WARN_DELETE_FAILURE",
                                  "EFI_WARN_WRITE_FAILURE", "EFI_WARN_BUFFER_TOO_SMALL"};
const CHAR8 *const kInterruptWarnings[] = {"EFI_WARN_INTERRUPT_SOURCE_PENDING",
                                           "EFI_WARN_INTERRUPT_SOURCE_QUIESCED"};
const CHAR8 *const kInterruptErrors[] = {"EFI_INTERRUPT_PENDING", "EFI_REQUEST_UNLOAD_IMAGE",
                                         "EFI_NOT_AVAILABLE_YET"};
const CHAR8 *const kDatabaseErrors[] = {"EFI_DBE_EOF", "EFI_DBE_BOF"};
const CHAR8 *const kErrors[] = {
    "EFI_LOAD_ERROR",           "EFI_INVALID_PARAMETER",  "EFI_UNSUPPORTED",
    "EFI_BAD_BUFFER_SIZE",      "EFI_BUFFER_TOO_SMALL",   "EFI_NOT_READY",
    "EFI_DEVICE_ERROR",         "EFI_WRITE_PROTECTED",    "EFI_OUT_OF_RESOURCES",
    "EFI_VOLUME_CORRUPTED",     "EFI_VOLUME_FULL",        "EFI_NO_MEDIA",
    "EFI_MEDIA_CHANGED",        "EFI_NOT_FOUND",          "EFI_ACCESS_DENIED",
    "EFI_NO_RESPONSE",          "EFI_NO_MAPPING",         "EFI_TIMEOUT",
    "EFI_NOT_STARTED",          "EFI_ALREADY_STARTED",    "EFI_ABORTED",
    "EFI_ICMP_ERROR",           "EFI_TFTP_ERROR",         "EFI_PROTOCOL_ERROR",
    "EFI_INCOMPATIBLE_VERSION", "EFI_SECURITY_VIOLATION", "EFI_CRC_ERROR",
    "EFI_END_OF_MEDIA",         "EFI_UNDEFINED_29",       "EFI_UNDEFINED_30"};

template <UINT32 N>
constexpr NameRow Row(const CHAR8 *const (&names)[N], UINT32 first) {
  return {names, first, N};
}

const CHAR8 *Lookup(const NameRow &row, UINT32 code) {
  if (code < row.First || code - row.First >= row.Count) {
    return nullptr;
  }
  return row.Names[code - row.First];
}

} // namespace

const CHAR8 *StatusName(UINT32 status) {
  if (status == 0) {
    return "EFI_SUCCESS";
  }
  const UINT32 code = status & kCodeMask;
  if ((status & kErrorBit) == 0) {
    return (status & kBit29) != 0 ? Lookup(Row(kInterruptWarnings, 0), code)
                                  : Lookup(Row(kWarnings, 1), code);
  }
  if ((status & kBit29) != 0) { // also takes codes with bit 30 set
    return Lookup(Row(kInterruptErrors, 0), code);
  }
  if ((status & kBit30) != 0) {
    return Lookup(Row(kDatabaseErrors, 1), code);
  }
  return Lookup(Row(kErrors, 1), code);
}
