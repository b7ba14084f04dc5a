// Plain byte-addressable memory in the physical space (little-endian, any width).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/bus.h"

namespace sim {

class RamDevice {
public:
  RamDevice(Bus &bus, uint64_t base, uint64_t size, std::string name, uint8_t fill = 0);
  ~RamDevice();
  RamDevice(const RamDevice &) = delete;
  RamDevice &operator=(const RamDevice &) = delete;

  uint64_t Base() const { return base_; }
  uint64_t Size() const { return bytes_.size(); }
  uint8_t *Data() { return bytes_.data(); }
  const uint8_t *Data() const { return bytes_.data(); }
  uint8_t At(uint64_t offset) const { return bytes_.at(offset); }

private:
  Bus &bus_;
  uint64_t base_;
  std::vector<uint8_t> bytes_;
  int region_;
};

} // namespace sim
