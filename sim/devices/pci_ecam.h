// PCI Express enhanced configuration access (ECAM): a memory window of 4 KiB per function at
// base + (bus << 20 | device << 15 | function << 12). Functions are attached by address; the
// rest of the window reads all ones and drops writes, as absent functions do. Each function's
// access rules are data: a per-byte write mask, and a hook that runs after a write so a device
// can recompute what its registers decode.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>

#include "sim/bus.h"

namespace sim {

class PciConfigFunction {
public:
  static constexpr uint32_t kSize = 4096;

  PciConfigFunction() {
    bytes_.fill(0);
    write_mask_.fill(0);
  }

  uint32_t Read(uint32_t offset, unsigned width) const;
  // Applies the write mask byte by byte, counts the write and runs the hook.
  void Write(uint32_t offset, unsigned width, uint32_t value);

  // Board set-up: sets bytes regardless of the write mask.
  void Set(uint32_t offset, unsigned width, uint32_t value);
  void SetWriteMask(uint32_t offset, unsigned width, uint32_t mask);
  void OnWrite(std::function<void(uint32_t offset, unsigned width)> hook) {
    on_write_ = std::move(hook);
  }
  uint64_t Writes() const { return writes_; }

private:
  std::array<uint8_t, kSize> bytes_;
  std::array<uint8_t, kSize> write_mask_;
  std::function<void(uint32_t, unsigned)> on_write_;
  uint64_t writes_ = 0;
};

class PciEcam {
public:
  // Maps the window for buses 0 to busCount - 1 at `base`.
  PciEcam(Bus &bus, uint64_t base, uint32_t busCount = 256);
  ~PciEcam();
  PciEcam(const PciEcam &) = delete;
  PciEcam &operator=(const PciEcam &) = delete;

  void Attach(uint32_t bus, uint32_t device, uint32_t function, PciConfigFunction *config);
  uint64_t Base() const { return base_; }
  static uint64_t Offset(uint32_t bus, uint32_t device, uint32_t function) {
    return (uint64_t{bus} << 20) | (uint64_t{device} << 15) | (uint64_t{function} << 12);
  }

private:
  Bus &bus_;
  uint64_t base_;
  int region_ = 0;
  std::map<uint64_t, PciConfigFunction *> functions_; // by function offset in the window
};

} // namespace sim
