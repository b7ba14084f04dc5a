#include "sim/smm/smm_board.h"

#include "uefi/protocol/pcd.h"
#include "uefi/protocol/smm_cpu_service.h"

namespace sim {

namespace {
constexpr uint64_t kDefaultPciExpressBase = 0x80000000;
constexpr UINTN kPcdTokenPciExpressBase = 5;
constexpr UINTN kPcdTokenPlatformPointer = 7;
// A GUID HOB of another producer, placed before the memory-topology HOB.
constexpr EFI_GUID kOtherGuidHob = {
    0x3B1E6D42, 0x5A0C, 0x4F7E, {0x9D, 0x21, 0x6C, 0x0B, 0x7A, 0x55, 0x13, 0xE8}};
constexpr size_t kResourceDescriptorLength = 48;

uint64_t PciExpressBase(const Scenario &s) {
  auto it = s.pcd.find(kPcdTokenPciExpressBase);
  return it == s.pcd.end() ? kDefaultPciExpressBase : it->second;
}
} // namespace

SmmBoard::SmmBoard(const Scenario &s) : SmmBoard(s, ParseSmmScenario(s)) {}

SmmBoard::SmmBoard(const Scenario &s, const SmmScenario &m)
    : scenario(s), smm(m), pci(machine.bus, PciExpressBase(s)), hobs(s.boot_mode, s.hob_capacity) {
  Assemble();
}

void SmmBoard::Assemble() {
  machine.bus.SetCostModel(scenario.cost);
  machine.cpu.SetTscHz(smm.tsc_hz);
  for (const auto &[key, regs] : smm.cpuid) {
    machine.cpu.SetCpuid(key.first, key.second, regs);
  }

  // HOBs of other producers first, then the memory topology.
  void *resource = nullptr;
  hobs.Create(EFI_HOB_TYPE_RESOURCE_DESCRIPTOR, kResourceDescriptorLength, &resource);
  hobs.AddGuidHob(kOtherGuidHob, std::vector<uint8_t>(40, 0x5A));
  if (smm.topology_hob) {
    hobs.AddGuidHob(kMemoryTopologyHobGuid, MemoryTopologyData(smm.dimms));
  }
  core.SetHobList(Has("hob_list") ? hobs.Head() : nullptr);

  for (const auto &[token, value] : scenario.pcd) {
    pcd.SetNumber(token, value);
  }
  pcd.SetNumber(kPcdTokenPciExpressBase, PciExpressBase(scenario));
  pcd.SetPointer(kPcdTokenPlatformPointer, smm.pcd7);

  cpu_service.processors = smm.processors;
  core.SetNumberOfCpus(smm.processors.size());

  if (Has("smm_base2")) {
    core.InstallBootProtocol(gEfiSmmBase2ProtocolGuid, core.SmmBase2());
  }
  if (Has("smm_access2")) {
    core.InstallBootProtocol(gEfiSmmAccess2ProtocolGuid, core.SmmAccess2());
  }
  if (Has("pcd")) {
    core.InstallBootProtocol(gPcdProtocolGuid, pcd.Protocol());
  }
  if (Has("platform_a7ced760")) {
    core.InstallBootProtocol(kPlatformBootGuid, platform_boot_interface);
  }
  if (Has("smm_cpu_service")) {
    core.InstallSmmProtocol(gEfiSmmCpuServiceProtocolGuid, cpu_service.Protocol());
  }
  if (Has("platform_fd480a76")) {
    core.InstallSmmProtocol(kPlatformSmmAGuid, &platform_smm_a);
  }
  if (Has("platform_0067835f")) {
    core.InstallSmmProtocol(kPlatformSmmBGuid, &platform_smm_b);
  }

  // The sink appears in the SMM database at the lookup the scenario names.
  sink.status = smm.sink.status;
  core.before_smm_locate = [this](const EFI_GUID &guid, uint64_t attempt) {
    if (!sink_installed_ && smm.sink.present && GuidEquals(&guid, &kDimmRecordSinkGuid) &&
        attempt >= smm.sink.from_record) {
      core.InstallSmmProtocol(kDimmRecordSinkGuid, sink.Interface());
      sink_installed_ = true;
    }
  };
}

} // namespace sim
