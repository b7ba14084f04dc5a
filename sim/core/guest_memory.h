// The memory a firmware core shares with the module it runs: tables, descriptors, GUIDs, the HOB
// list and the module's stack, addressed as the module addresses them. A host build runs the
// module in the simulator's own process, so its guest memory is host memory with 64-bit pointers;
// an image run gives the module emulated RAM with the image's pointer width. The cores read and
// write structures only through this interface, so one core serves both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "uefi/uefi_base.h"

namespace sim {

class GuestMemory {
public:
  virtual ~GuestMemory() = default;

  // Bytes in a pointer (and in UINTN): 4 for IA32, 8 for X64 and host builds.
  virtual unsigned PointerSize() const = 0;
  // Copies between guest memory and the host. An address that is not RAM the core may touch
  // reads as zeros and drops writes; the caller checks IsRam first where that matters.
  virtual void Read(uint64_t address, void *out, size_t size) const = 0;
  virtual void Write(uint64_t address, const void *in, size_t size) = 0;
  // True when [address, address + size) is RAM (stack, HOBs, tables), not device memory.
  virtual bool IsRam(uint64_t address, size_t size) const = 0;

  uint64_t ReadPointer(uint64_t address) const { return ReadUint(address, PointerSize()); }
  void WritePointer(uint64_t address, uint64_t value) { WriteUint(address, value, PointerSize()); }
  uint64_t ReadUint(uint64_t address, unsigned width) const {
    uint64_t v = 0;
    uint8_t b[8] = {};
    Read(address, b, width);
    for (unsigned i = 0; i < width; ++i) {
      v |= static_cast<uint64_t>(b[i]) << (8 * i);
    }
    return v;
  }
  void WriteUint(uint64_t address, uint64_t value, unsigned width) {
    uint8_t b[8];
    for (unsigned i = 0; i < width; ++i) {
      b[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    Write(address, b, width);
  }
  EFI_GUID ReadGuid(uint64_t address) const {
    EFI_GUID g;
    Read(address, &g, sizeof g);
    return g;
  }
};

// The host build's guest memory: the simulator's own address space. Everything at or above
// 4 GiB is host memory (the simulated 32-bit board cannot address it); below is the board's
// physical space, which is device memory reached through the bus.
class HostMemory final : public GuestMemory {
public:
  static HostMemory &Instance() {
    static HostMemory memory;
    return memory;
  }
  unsigned PointerSize() const override { return sizeof(void *); }
  // A copy of nothing touches nothing: an empty buffer may have no address (an empty answer).
  void Read(uint64_t address, void *out, size_t size) const override {
    if (size != 0) {
      std::memcpy(out, reinterpret_cast<const void *>(static_cast<uintptr_t>(address)), size);
    }
  }
  void Write(uint64_t address, const void *in, size_t size) override {
    if (size != 0) {
      std::memcpy(reinterpret_cast<void *>(static_cast<uintptr_t>(address)), in, size);
    }
  }
  bool IsRam(uint64_t address, size_t) const override { return address >= kBoardSpaceEnd; }

private:
  static constexpr uint64_t kBoardSpaceEnd = 0x100000000ull;
};

} // namespace sim
