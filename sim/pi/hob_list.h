// A HOB list in host memory, as a PEI core keeps it: a hand-off information table (PHIT) HOB
// first, an end-of-list HOB last, new HOBs appended in between. HOB memory has a fixed capacity;
// creating a HOB that does not fit fails and leaves the list as it was.
#pragma once

#include <cstdint>
#include <vector>

#include "uefi/pi_hob.h"

namespace sim {

struct HobView {
  uint16_t type;
  uint16_t length;
  const uint8_t *bytes; // the HOB, header included
};

class HobList {
public:
  static constexpr size_t kDefaultCapacity = 64 * 1024;

  explicit HobList(uint32_t bootMode, size_t capacity = kDefaultCapacity);

  void *Head() { return Bytes(); }
  // Appends a HOB of `length` bytes (header included) with type and length set and the rest
  // zero. EFI_INVALID_PARAMETER for a length below the generic header, EFI_OUT_OF_RESOURCES when
  // it and the end HOB do not fit.
  EFI_STATUS Create(uint16_t type, uint16_t length, void **hob);
  // Appends a GUID extension HOB holding `data` after the name.
  void *AddGuidHob(const EFI_GUID &name, const std::vector<uint8_t> &data);

  // The HOBs from the PHIT to the end HOB inclusive, by their lengths. Stops at a length below
  // the header, so a corrupted list never walks out of the buffer.
  std::vector<HobView> Walk() const;
  // The first GUID HOB with `name`, or null.
  const uint8_t *FindGuidHob(const EFI_GUID &name) const;

  size_t UsedBytes() const { return end_offset_ + sizeof(EFI_HOB_GENERIC_HEADER); }
  size_t Capacity() const { return storage_.size() * sizeof(uint64_t); }
  uint8_t *Bytes() { return reinterpret_cast<uint8_t *>(storage_.data()); }
  const uint8_t *Bytes() const { return reinterpret_cast<const uint8_t *>(storage_.data()); }

private:
  EFI_HOB_HANDOFF_INFO_TABLE *Phit() {
    return reinterpret_cast<EFI_HOB_HANDOFF_INFO_TABLE *>(Bytes());
  }
  void WriteEnd();

  std::vector<uint64_t> storage_; // 8-byte aligned backing store
  size_t end_offset_ = 0;         // offset of the end-of-list HOB
};

} // namespace sim
