// Plain byte-addressable memory (little-endian, any width), as a leaf of the decode tree. It is
// placed at a fixed address, or handed to a model that maps it (a BAR's frame buffer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/core/bus.h"

namespace sim {

class RamDevice : public Device {
public:
  // Memory at a fixed physical address.
  RamDevice(Bus &bus, uint64_t base, uint64_t size, std::string name, uint8_t fill = 0);
  // Memory not yet placed anywhere; the owner maps Leaf() where it decodes.
  RamDevice(Bus &bus, uint64_t size, std::string name, uint8_t fill = 0);

  Region &Leaf() { return region_; }
  uint64_t Size() const { return bytes_.size(); }
  uint8_t *Data() { return bytes_.data(); }
  const uint8_t *Data() const { return bytes_.data(); }
  uint8_t At(uint64_t offset) const { return bytes_.at(offset); }

  // Memory keeps its contents across a reset only as DRAM would: the fill pattern returns.
  void Reset() override;

private:
  uint8_t fill_;
  std::vector<uint8_t> bytes_;
  Region region_;
};

} // namespace sim
