// PCD_PROTOCOL for an SMM load: numeric tokens from the scenario's pcd map, pointer tokens as
// byte buffers. GetSize gives a pointer token's byte count, 8 for a numeric one, 0 otherwise.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "uefi/protocol/pcd.h"

namespace sim {

class PcdProtocolModel {
public:
  PcdProtocolModel();
  ~PcdProtocolModel();
  PcdProtocolModel(const PcdProtocolModel &) = delete;
  PcdProtocolModel &operator=(const PcdProtocolModel &) = delete;

  PCD_PROTOCOL *Protocol() { return &protocol_; }
  void SetNumber(UINTN token, uint64_t value) { numbers_[token] = value; }
  void SetPointer(UINTN token, std::vector<uint8_t> bytes) { pointers_[token] = std::move(bytes); }
  uint64_t Calls() const { return calls_; }

private:
  static PcdProtocolModel &Current();
  static UINT64 EFIAPI Get64(UINTN token);
  static UINT32 EFIAPI Get32(UINTN token);
  static VOID *EFIAPI GetPtr(UINTN token);
  static UINTN EFIAPI GetSize(UINTN token);

  PCD_PROTOCOL protocol_{};
  std::map<UINTN, uint64_t> numbers_;
  std::map<UINTN, std::vector<uint8_t>> pointers_;
  uint64_t calls_ = 0;
};

} // namespace sim
