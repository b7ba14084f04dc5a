#include "sim/smm/pcd_protocol_model.h"

#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {
PcdProtocolModel *current_pcd = nullptr;
}

PcdProtocolModel::PcdProtocolModel() {
  protocol_.Get32 = Get32;
  protocol_.Get64 = Get64;
  protocol_.GetPtr = GetPtr;
  protocol_.GetSize = GetSize;
  current_pcd = this;
}

PcdProtocolModel::~PcdProtocolModel() {
  if (current_pcd == this) {
    current_pcd = nullptr;
  }
}

PcdProtocolModel &PcdProtocolModel::Current() {
  if (current_pcd == nullptr) {
    std::fprintf(stderr, "sim: PCD protocol called with no PCD model\n");
    std::abort();
  }
  return *current_pcd;
}

UINT64 EFIAPI PcdProtocolModel::Get64(UINTN token) {
  PcdProtocolModel &m = Current();
  ++m.calls_;
  auto it = m.numbers_.find(token);
  return it == m.numbers_.end() ? 0 : it->second;
}

UINT32 EFIAPI PcdProtocolModel::Get32(UINTN token) { return static_cast<UINT32>(Get64(token)); }

VOID *EFIAPI PcdProtocolModel::GetPtr(UINTN token) {
  PcdProtocolModel &m = Current();
  ++m.calls_;
  auto it = m.pointers_.find(token);
  return it == m.pointers_.end() || it->second.empty() ? nullptr : it->second.data();
}

UINTN EFIAPI PcdProtocolModel::GetSize(UINTN token) {
  PcdProtocolModel &m = Current();
  ++m.calls_;
  if (auto it = m.pointers_.find(token); it != m.pointers_.end()) {
    return it->second.size();
  }
  return m.numbers_.count(token) ? sizeof(uint64_t) : 0;
}

} // namespace sim
