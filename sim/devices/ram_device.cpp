#include "sim/devices/ram_device.h"

namespace sim {

RamDevice::RamDevice(Bus &bus, uint64_t base, uint64_t size, std::string name, uint8_t fill)
    : bus_(bus), base_(base), bytes_(size, fill) {
  region_ = bus_.Map(
      Space::Memory, base, size, std::move(name),
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
      });
}

RamDevice::~RamDevice() { bus_.Unmap(region_); }

} // namespace sim
