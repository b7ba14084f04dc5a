// Plain byte-addressable memory (little-endian, any width), as a leaf of the decode tree. It is
// placed at a fixed address, or handed to a model that maps it (a BAR's frame buffer).
#pragma once

#include "sim/core/bus.h"
#include "sim/core/page_memory.h"
#include <cstdint>
#include <string>

namespace sim {

class RamDevice : public Device {
public:
  // Memory at a fixed physical address.
  RamDevice(Bus &bus, uint64_t base, uint64_t size, std::string name, uint8_t fill = 0);
  // Memory not yet placed anywhere; the owner maps Leaf() where it decodes.
  RamDevice(Bus &bus, uint64_t size, std::string name, uint8_t fill = 0);

  Region &Leaf() { return region_; }
  uint64_t Size() const { return bytes_.Size(); }
  uint8_t *Data() { return bytes_.Data(); }
  const uint8_t *Data() const { return bytes_.Data(); }
  uint8_t At(uint64_t offset) const;

  // Memory keeps its contents across a reset only as DRAM would: the fill pattern returns.
  void Reset() override;

private:
  PageMemory bytes_;
  Region region_;
};

} // namespace sim
