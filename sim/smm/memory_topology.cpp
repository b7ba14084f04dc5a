#include "sim/smm/memory_topology.h"

namespace sim {

std::vector<DimmSlot> AllDimmSlots() {
  std::vector<DimmSlot> slots;
  for (uint32_t s = 0; s < MemoryTopologyGeometry::kSockets; ++s) {
    for (uint32_t c = 0; c < MemoryTopologyGeometry::kChannels; ++c) {
      for (uint32_t d = 0; d < MemoryTopologyGeometry::kSlots; ++d) {
        slots.push_back({s, c, d});
      }
    }
  }
  return slots;
}

std::vector<uint8_t> MemoryTopologyData(const std::vector<DimmSlot> &populated, size_t hobLength) {
  constexpr size_t kName = MemoryTopologyGeometry::kHeaderAndName;
  std::vector<uint8_t> data(hobLength > kName ? hobLength - kName : 0, 0);
  for (const DimmSlot &d : populated) {
    const size_t entry = MemoryTopologyGeometry::EntryOffset(d);
    if (entry + MemoryTopologyGeometry::kEntryLastByte < hobLength) {
      data[entry - kName] = 0x01;                                          // present
      data[entry - kName + MemoryTopologyGeometry::kEntryLastByte] = 0x01; // usable
    }
  }
  return data;
}

} // namespace sim
