// Base types of the UEFI specification: fixed-width integers, EFI_STATUS, EFI_GUID, EFIAPI.
// Freestanding: only the compiler's own <stdint.h> and <stddef.h>.
#pragma once

#include <stddef.h>
#include <stdint.h>

// EFIAPI is the firmware calling convention: cdecl on IA32, the Microsoft x64 convention on X64.
// Host builds run on x86-64 and use the X64 convention so that module and simulator meet on the
// same ABI as in firmware.
#if defined(__x86_64__)
#define EFIAPI __attribute__((ms_abi))
#else
#define EFIAPI
#endif

using UINT8 = uint8_t;
using UINT16 = uint16_t;
using UINT32 = uint32_t;
using UINT64 = uint64_t;
using INT32 = int32_t;
using UINTN = uintptr_t;
using BOOLEAN = uint8_t;
using CHAR8 = char;
using VOID = void;

using EFI_STATUS = UINTN;

struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};
static_assert(sizeof(EFI_GUID) == 16);

// Status codes: the high bit of UINTN marks an error.
constexpr EFI_STATUS kEfiErrorBit = static_cast<EFI_STATUS>(1) << (sizeof(EFI_STATUS) * 8 - 1);
constexpr EFI_STATUS EfiError(UINTN code) { return kEfiErrorBit | code; }
constexpr bool EFI_ERROR(EFI_STATUS status) { return (status & kEfiErrorBit) != 0; }

constexpr EFI_STATUS EFI_SUCCESS = 0;
constexpr EFI_STATUS EFI_LOAD_ERROR = EfiError(1);
constexpr EFI_STATUS EFI_INVALID_PARAMETER = EfiError(2);
constexpr EFI_STATUS EFI_UNSUPPORTED = EfiError(3);
constexpr EFI_STATUS EFI_BAD_BUFFER_SIZE = EfiError(4);
constexpr EFI_STATUS EFI_BUFFER_TOO_SMALL = EfiError(5);
constexpr EFI_STATUS EFI_NOT_READY = EfiError(6);
constexpr EFI_STATUS EFI_DEVICE_ERROR = EfiError(7);
constexpr EFI_STATUS EFI_WRITE_PROTECTED = EfiError(8);
constexpr EFI_STATUS EFI_OUT_OF_RESOURCES = EfiError(9);
constexpr EFI_STATUS EFI_NOT_FOUND = EfiError(14);
constexpr EFI_STATUS EFI_TIMEOUT = EfiError(18);
constexpr EFI_STATUS EFI_ABORTED = EfiError(21);

// GUIDs are compared as 16 raw bytes, never field by field.
inline bool GuidEquals(const EFI_GUID *a, const EFI_GUID *b) {
  const UINT8 *x = reinterpret_cast<const UINT8 *>(a);
  const UINT8 *y = reinterpret_cast<const UINT8 *>(b);
  for (UINTN i = 0; i < sizeof(EFI_GUID); ++i) {
    if (x[i] != y[i]) {
      return false;
    }
  }
  return true;
}
