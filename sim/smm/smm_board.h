// The board an SMM load of DimmReportSmm runs on, built from a scenario: the machine (CPUID,
// TSC, interrupt flag), the PCI host (ECAM) with the power-management controller and the ACPI PM
// timer behind it, the HOB list with the memory-topology HOB, the SMM core with its databases, and
// the platform's protocols, interfaces and record sink.
#pragma once

#include "sim/core/machine.h"
#include "sim/core/scenario.h"
#include "sim/devices/pch/pm_timer.h"
#include "sim/devices/pch/pmc_acpi.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/pi/hob_list.h"
#include "sim/smm/cpu_service_model.h"
#include "sim/smm/pcd_protocol_model.h"
#include "sim/smm/record_sink.h"
#include "sim/smm/smm_core.h"
#include "sim/smm/smm_scenario.h"

namespace sim {

inline constexpr EFI_GUID kPlatformSmmAGuid = {
    0xFD480A76, 0xB134, 0x4EF7, {0xAD, 0xFE, 0xB0, 0xE0, 0x54, 0x63, 0x98, 0x07}};
inline constexpr EFI_GUID kPlatformBootGuid = {
    0xA7CED760, 0xC71C, 0x4E1A, {0xAC, 0xB1, 0x89, 0x60, 0x4D, 0x52, 0x16, 0xCB}};
inline constexpr EFI_GUID kPlatformSmmBGuid = {
    0x0067835F, 0x9A50, 0x433A, {0x8C, 0xBB, 0x85, 0x20, 0x78, 0x19, 0x78, 0x14}};

class SmmBoard {
public:
  static constexpr uint64_t kPlatformBootValue = 0x0000000100000002ull; // its first field

  explicit SmmBoard(const Scenario &scenario);
  SmmBoard(const Scenario &scenario, const SmmScenario &smm);

  // Loads the driver through the SMM core.
  EFI_STATUS Load(EFI_IMAGE_ENTRY_POINT entry) { return core.Load(entry); }

  // Sink lookups the driver made, and the records it delivered.
  uint64_t SinkLookups() const { return core.LookupCount(kDimmRecordSinkGuid, true); }
  bool Has(const std::string &name) const { return !smm.missing.count(name); }

  const Scenario scenario;
  const SmmScenario smm;
  Machine machine;
  PciHost pci;
  PmTimer pm_timer{machine.bus};
  PmcAcpi pmc{machine.bus, pci, pm_timer};
  HobList hobs;
  SmmCore core{machine};
  PcdProtocolModel pcd;
  CpuServiceModel cpu_service;
  RecordSink sink;
  uint64_t platform_boot_interface[2] = {kPlatformBootValue, 0};
  uint64_t platform_smm_a = 0, platform_smm_b = 0; // what the captured pointers point at

private:
  void Assemble();
  bool sink_installed_ = false;
};

} // namespace sim
