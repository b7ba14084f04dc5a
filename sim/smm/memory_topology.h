// The memory-topology GUID HOB as this board's memory initialisation leaves it: byte-packed
// socket blocks (4, stride 0x1479, the first 0x14C4 into the HOB), channel blocks (6 per socket,
// stride 0x1FF) and DIMM entries (2 per channel, stride 0xA0, 160 bytes). A populated entry has
// its first and last byte set; everything else of the HOB is zero here.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "uefi/uefi_base.h"

namespace sim {

inline constexpr EFI_GUID kMemoryTopologyHobGuid = {
    0xF8870015, 0x6994, 0x4B98, {0x95, 0xA2, 0xBD, 0x56, 0xDA, 0x91, 0xC0, 0x7F}};

struct DimmSlot {
  uint32_t socket, channel, slot;
  bool operator==(const DimmSlot &) const = default;
};

struct MemoryTopologyGeometry {
  static constexpr uint32_t kSockets = 4, kChannels = 6, kSlots = 2;
  static constexpr size_t kHobLength = 0x5D6A; // header and name included
  static constexpr size_t kHeaderAndName = 24;
  static constexpr size_t EntryOffset(const DimmSlot &d) {
    return 0x14C4 + d.socket * 0x1479 + d.channel * 0x1FF + d.slot * 0xA0;
  }
  static constexpr size_t kEntryLastByte = 0x9F;
};

// Every slot of the board, in the order the report visits them.
std::vector<DimmSlot> AllDimmSlots();

// The HOB's data (what follows the GUID name) for `populated`, `hobLength` bytes of HOB in all.
// Slots whose bytes fall beyond the length are left out.
std::vector<uint8_t> MemoryTopologyData(const std::vector<DimmSlot> &populated,
                                        size_t hobLength = MemoryTopologyGeometry::kHobLength);

} // namespace sim
