#include "sim/smm/record_sink.h"

#include <cstring>

namespace sim {

RecordSink::RecordSink() { block_ = {SubmitRecord, this}; }

EFI_STATUS EFIAPI RecordSink::SubmitRecord(VOID *self, const UINT8 *record, UINTN arg3, UINTN arg4,
                                           UINTN size, UINT64 *result) {
  RecordSink &sink = *static_cast<Block *>(self)->sink;
  SinkCall call{reinterpret_cast<UINTN>(self),  {}, arg3, arg4, size,
                reinterpret_cast<UINTN>(result)};
  if (record == nullptr || size != call.record.size()) {
    sink.calls_.push_back(call);
    return EFI_INVALID_PARAMETER;
  }
  std::memcpy(call.record.data(), record, call.record.size());
  sink.calls_.push_back(call);
  if (result != nullptr) {
    *result = 0;
  }
  return sink.status;
}

} // namespace sim
