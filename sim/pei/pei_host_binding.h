// The PEI core's binding for host builds: the module runs in the simulator's process, the core's
// tables hold host functions (EFIAPI, the Microsoft x64 convention here) that decode their
// arguments and call the core, and callbacks are called directly.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "sim/pei/pei_core.h"

namespace sim {

class HostPeiBinding final : public PeiCoreBinding {
public:
  explicit HostPeiBinding(Machine &machine) : machine_(machine) {}

  GuestMemory &Memory() override { return HostMemory::Instance(); }
  uint64_t Allocate(size_t size) override;
  uint64_t Function(PeiFunction function) override;
  HobMemory HobArea(size_t) override { return {nullptr, 0}; }
  void PublishServices(uint64_t services) override;
  EFI_STATUS CallEntry(uint64_t entry, uint64_t fileHandle, uint64_t services) override;
  EFI_STATUS CallNotify(uint64_t notify, uint64_t services, uint64_t descriptor,
                        uint64_t ppi) override;
  uint64_t CoreCookie(PeiCore &core) override { return reinterpret_cast<uintptr_t>(&core); }

private:
  Machine &machine_;
  std::deque<std::vector<uint64_t>> blocks_; // stable, 8-byte aligned
};

} // namespace sim
