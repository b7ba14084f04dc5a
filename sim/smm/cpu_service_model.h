// EFI_SMM_CPU_SERVICE_PROTOCOL over the board's processors: GetProcessorInfo gives the APIC ID
// as ProcessorId and the enabled, healthy and boot-processor bits of the status.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "uefi/protocol/smm_cpu_service.h"

namespace sim {

struct ProcessorSpec {
  uint32_t apic_id;
  bool enabled;
};

class CpuServiceModel {
public:
  CpuServiceModel();
  EFI_SMM_CPU_SERVICE_PROTOCOL *Protocol() { return &block_.protocol; }

  std::vector<ProcessorSpec> processors;
  std::set<UINTN> failing; // processor numbers whose GetProcessorInfo fails (a test's fault)
  uint64_t Calls() const { return calls_; }

private:
  struct Block {
    EFI_SMM_CPU_SERVICE_PROTOCOL protocol;
    CpuServiceModel *model;
  };
  static EFI_STATUS EFIAPI GetProcessorInfo(const EFI_SMM_CPU_SERVICE_PROTOCOL *, UINTN,
                                            EFI_PROCESSOR_INFORMATION *);
  Block block_{};
  uint64_t calls_ = 0;
};

} // namespace sim
