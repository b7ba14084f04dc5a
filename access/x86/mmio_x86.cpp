// MMIO backend for firmware images: volatile loads and stores of the physical address, which
// PEI and SMM run identity-mapped.
#include "access/mmio.h"

namespace {
constexpr uintptr_t kDwordAlignMask = 3;
// Multiplying a byte by this repeats it in each byte of a dword.
constexpr uint32_t kEveryByteLane = 0x01010101;

template <typename T>
T Load(uintptr_t address) {
  return *reinterpret_cast<volatile T *>(address);
}
template <typename T>
void Store(uintptr_t address, T value) {
  *reinterpret_cast<volatile T *>(address) = value;
}
} // namespace

uint8_t MmioRead8(uintptr_t address) { return Load<uint8_t>(address); }
uint16_t MmioRead16(uintptr_t address) { return Load<uint16_t>(address); }
uint32_t MmioRead32(uintptr_t address) { return Load<uint32_t>(address); }

uint64_t MmioRead64(uintptr_t address) {
#if defined(__x86_64__)
  return Load<uint64_t>(address);
#else
  // IA32 has no 64-bit general-purpose load; the x87 integer load is one 64-bit access, and
  // exact (loads are not rounded by the precision control).
  uint64_t value;
  __asm__ volatile("fildll %1\n\tfistpll %0"
                   : "=m"(value)
                   : "m"(*reinterpret_cast<volatile uint64_t *>(address)));
  return value;
#endif
}

void MmioWrite8(uintptr_t address, uint8_t value) { Store(address, value); }
void MmioWrite16(uintptr_t address, uint16_t value) { Store(address, value); }
void MmioWrite32(uintptr_t address, uint32_t value) { Store(address, value); }

void MmioWrite64(uintptr_t address, uint64_t value) {
#if defined(__x86_64__)
  Store(address, value);
#else
  // One 64-bit store through the x87, as MmioRead64.
  __asm__ volatile("fildll %1\n\tfistpll %0"
                   : "=m"(*reinterpret_cast<volatile uint64_t *>(address))
                   : "m"(value)
                   : "memory");
#endif
}

void MmioFill8(uintptr_t address, uintptr_t count, uint8_t value) {
  for (uintptr_t i = 0; i < count; ++i) {
    Store(address + i, value);
  }
}

void MmioFill8Wide(uintptr_t address, uintptr_t count, uint8_t value) {
  const uint32_t lanes = value * kEveryByteLane;
  while (count != 0) {
    if ((address & kDwordAlignMask) == 0 && count >= sizeof(uint32_t)) {
      Store(address, lanes);
      address += sizeof(uint32_t);
      count -= sizeof(uint32_t);
    } else {
      Store(address++, value);
      --count;
    }
  }
}
