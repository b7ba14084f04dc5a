// A HOB list as a PEI core keeps it: a hand-off information table (PHIT) HOB first, an
// end-of-list HOB last, new HOBs appended in between. HOB memory has a fixed capacity; creating a
// HOB that does not fit fails and leaves the list as it was. The memory is the list's own host
// memory, or memory the module sees at another address (an emulated board's RAM), in which case
// the addresses inside the list (PHIT fields) are the module's.
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
  // A list in `bytes` (capacity bytes, 8-byte aligned) that the module sees at `address`; null
  // bytes: the list's own host memory.
  HobList(uint32_t bootMode, size_t capacity, uint8_t *bytes, uint64_t address);

  void *Head() { return Bytes(); }
  const void *Head() const { return Bytes(); }
  // Where the module sees the list, and a HOB of it.
  uint64_t HeadAddress() const { return base_; }
  uint64_t AddressOf(const void *hob) const {
    return base_ + static_cast<uint64_t>(static_cast<const uint8_t *>(hob) - Bytes());
  }
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
  size_t Capacity() const { return capacity_; }
  uint8_t *Bytes() { return bytes_; }
  const uint8_t *Bytes() const { return bytes_; }

private:
  EFI_HOB_HANDOFF_INFO_TABLE *Phit() {
    return reinterpret_cast<EFI_HOB_HANDOFF_INFO_TABLE *>(Bytes());
  }
  void WriteEnd();

  std::vector<uint64_t> storage_; // 8-byte aligned backing store of a list in host memory
  uint8_t *bytes_;
  size_t capacity_;
  uint64_t base_;         // the module's address of bytes_
  size_t end_offset_ = 0; // offset of the end-of-list HOB
};

} // namespace sim
