#include "sim/devices/memory/ram_device.h"

#include <stdexcept>

namespace sim {

RamDevice::RamDevice(Bus &bus, uint64_t size, std::string name, uint8_t fill)
    : Device(bus, name), bytes_(size, fill),
      region_(Region::Leaf(
          this, name, size,
          [this](uint64_t offset, unsigned width) {
            uint64_t v = 0;
            for (unsigned i = 0; i < width; ++i) {
              v |= static_cast<uint64_t>(bytes_[offset + i]) << (8 * i);
            }
            return v;
          },
          [this](uint64_t offset, unsigned width, uint64_t value) {
            for (unsigned i = 0; i < width; ++i) {
              bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
            }
          })) {
  SetBulkMemory();
}

RamDevice::RamDevice(Bus &bus, uint64_t base, uint64_t size, std::string name, uint8_t fill)
    : RamDevice(bus, size, std::move(name), fill) {
  bus.MapFixed(Space::Memory, base, &region_);
}

uint8_t RamDevice::At(uint64_t offset) const {
  if (offset >= bytes_.Size()) {
    throw std::out_of_range("RamDevice::At beyond the memory");
  }
  return bytes_[offset];
}

void RamDevice::Reset() { bytes_.Refill(); }

} // namespace sim
