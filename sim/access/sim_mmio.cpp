// MMIO backend for host builds: physical addresses go to the current machine's memory space.
#include "access/mmio.h"
#include "sim/core/machine.h"

using sim::Machine;
using sim::Space;

namespace {
constexpr uintptr_t kDwordAlignMask = 3;
constexpr uint32_t kEveryByteLane = 0x01010101; // a byte repeated in each lane of a dword

uint64_t Read(uintptr_t address, unsigned width) {
  return Machine::Current().bus.Read(Space::Memory, address, width);
}
void Write(uintptr_t address, unsigned width, uint64_t value) {
  Machine::Current().bus.Write(Space::Memory, address, width, value);
}
} // namespace

uint8_t MmioRead8(uintptr_t address) { return static_cast<uint8_t>(Read(address, 1)); }
uint16_t MmioRead16(uintptr_t address) { return static_cast<uint16_t>(Read(address, 2)); }
uint32_t MmioRead32(uintptr_t address) { return static_cast<uint32_t>(Read(address, 4)); }
uint64_t MmioRead64(uintptr_t address) { return Read(address, 8); }
void MmioWrite8(uintptr_t address, uint8_t value) { Write(address, 1, value); }
void MmioWrite16(uintptr_t address, uint16_t value) { Write(address, 2, value); }
void MmioWrite32(uintptr_t address, uint32_t value) { Write(address, 4, value); }
void MmioWrite64(uintptr_t address, uint64_t value) { Write(address, 8, value); }

void MmioFill8(uintptr_t address, uintptr_t count, uint8_t value) {
  for (uintptr_t i = 0; i < count; ++i) {
    Write(address + i, 1, value);
  }
}

void MmioFill8Wide(uintptr_t address, uintptr_t count, uint8_t value) {
  for (; count != 0 && (address & kDwordAlignMask) != 0; --count, ++address) {
    Write(address, 1, value);
  }
  for (; count >= 4; count -= 4, address += 4) {
    Write(address, 4, value * kEveryByteLane);
  }
  for (; count != 0; --count, ++address) {
    Write(address, 1, value);
  }
}
