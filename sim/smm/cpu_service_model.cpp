#include "sim/smm/cpu_service_model.h"

namespace sim {

CpuServiceModel::CpuServiceModel() {
  block_.protocol.GetProcessorInfo = GetProcessorInfo;
  block_.model = this;
}

EFI_STATUS EFIAPI CpuServiceModel::GetProcessorInfo(const EFI_SMM_CPU_SERVICE_PROTOCOL *self,
                                                    UINTN number, EFI_PROCESSOR_INFORMATION *info) {
  CpuServiceModel &m = *reinterpret_cast<const Block *>(self)->model;
  ++m.calls_;
  if (info == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (number >= m.processors.size()) {
    return EFI_NOT_FOUND;
  }
  if (m.failing.count(number)) {
    return EFI_DEVICE_ERROR;
  }
  const ProcessorSpec &p = m.processors[number];
  *info = {};
  info->ProcessorId = p.apic_id;
  info->StatusFlag = PROCESSOR_HEALTH_STATUS_BIT | (p.enabled ? PROCESSOR_ENABLED_BIT : 0) |
                     (number == 0 ? PROCESSOR_AS_BSP_BIT : 0);
  return EFI_SUCCESS;
}

} // namespace sim
