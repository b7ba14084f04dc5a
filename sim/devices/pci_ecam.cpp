#include "sim/devices/pci_ecam.h"

#include <stdexcept>

namespace sim {

uint32_t PciConfigFunction::Read(uint32_t offset, unsigned width) const {
  uint32_t value = 0;
  for (unsigned i = 0; i < width && offset + i < kSize; ++i) {
    value |= uint32_t{bytes_[offset + i]} << (8 * i);
  }
  return value;
}

void PciConfigFunction::Write(uint32_t offset, unsigned width, uint32_t value) {
  for (unsigned i = 0; i < width && offset + i < kSize; ++i) {
    const uint8_t mask = write_mask_[offset + i];
    const uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
    bytes_[offset + i] = static_cast<uint8_t>((bytes_[offset + i] & ~mask) | (byte & mask));
  }
  ++writes_;
  if (on_write_) {
    on_write_(offset, width);
  }
}

void PciConfigFunction::Set(uint32_t offset, unsigned width, uint32_t value) {
  for (unsigned i = 0; i < width && offset + i < kSize; ++i) {
    bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

void PciConfigFunction::SetWriteMask(uint32_t offset, unsigned width, uint32_t mask) {
  for (unsigned i = 0; i < width && offset + i < kSize; ++i) {
    write_mask_[offset + i] = static_cast<uint8_t>(mask >> (8 * i));
  }
}

PciEcam::PciEcam(Bus &bus, uint64_t base, uint32_t busCount) : bus_(bus), base_(base) {
  if (busCount == 0 || busCount > 256) {
    throw std::invalid_argument("ECAM bus count must be 1 to 256");
  }
  region_ = bus_.Map(
      Space::Memory, base, uint64_t{busCount} << 20, "ecam",
      [this](uint64_t offset, unsigned width) -> uint64_t {
        auto it = functions_.find(offset & ~uint64_t{0xFFF});
        if (it == functions_.end()) {
          return ~uint64_t{0};
        }
        return it->second->Read(static_cast<uint32_t>(offset & 0xFFF), width);
      },
      [this](uint64_t offset, unsigned width, uint64_t value) {
        auto it = functions_.find(offset & ~uint64_t{0xFFF});
        if (it != functions_.end()) {
          it->second->Write(static_cast<uint32_t>(offset & 0xFFF), width,
                            static_cast<uint32_t>(value));
        }
      },
      kW8 | kW16 | kW32);
}

PciEcam::~PciEcam() { bus_.Unmap(region_); }

void PciEcam::Attach(uint32_t bus, uint32_t device, uint32_t function, PciConfigFunction *config) {
  functions_[Offset(bus, device, function)] = config;
}

} // namespace sim
