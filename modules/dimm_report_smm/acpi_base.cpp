#include "modules/dimm_report_smm/acpi_base.h"

#include "access/mmio.h"
#include "access/pci_config.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/pmc_regs.h"

namespace {
UINT64 PmcRegister(UINT32 offset) {
  return PciEcamAddress(PciExpressBase, PmcDevice::kBus, PmcDevice::kDevice, PmcDevice::kFunction,
                        static_cast<uint16_t>(offset));
}
} // namespace

EFI_STATUS EnableAcpiIoDecode() {
  // Without the PCD protocol the ECAM base is unknown; configuration writes relative to 0 would
  // land in low memory.
  if (PciExpressBase == 0) {
    return EFI_NOT_READY;
  }
  const UINT64 control = PmcRegister(PmcAcpiControl::kOffset);
  if ((MmioRead8(control) & PmcAcpiControl::kAcpiEnable) != 0) {
    return EFI_SUCCESS; // decode already on: the base is left as the platform set it
  }
  MmioWrite16(PmcRegister(PmcAcpiBase::kOffset), PmcAcpiBase::kBoardBase);
  MmioWrite8(control, static_cast<UINT8>(MmioRead8(control) | PmcAcpiControl::kAcpiEnable));
  return EFI_SUCCESS;
}
