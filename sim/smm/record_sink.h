// The record sink that receives DIMM records in SMM: its first member is SubmitRecord(This,
// Record, Arg3, Arg4, Size, Result). It keeps every call's arguments and the 16 record bytes,
// writes 0 to the result location and returns the configured status.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "uefi/uefi_base.h"

namespace sim {

inline constexpr EFI_GUID kDimmRecordSinkGuid = {
    0x59D02FCD, 0x9233, 0x4D34, {0xBC, 0xFE, 0x87, 0xCA, 0x81, 0xD3, 0xDD, 0xA7}};

struct SinkCall {
  UINTN self;
  std::array<uint8_t, 16> record;
  UINTN arg3, arg4, size;
  UINTN result;
};

class RecordSink {
public:
  RecordSink();
  VOID *Interface() { return &block_; }

  EFI_STATUS status = EFI_SUCCESS; // what SubmitRecord returns
  const std::vector<SinkCall> &Calls() const { return calls_; }

private:
  using Submit = EFI_STATUS(EFIAPI *)(VOID *self, const UINT8 *record, UINTN arg3, UINTN arg4,
                                      UINTN size, UINT64 *result);
  struct Block {
    Submit submit;
    RecordSink *sink;
  };
  static EFI_STATUS EFIAPI SubmitRecord(VOID *self, const UINT8 *record, UINTN arg3, UINTN arg4,
                                        UINTN size, UINT64 *result);
  Block block_{};
  std::vector<SinkCall> calls_;
};

} // namespace sim
