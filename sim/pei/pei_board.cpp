#include "sim/pei/pei_board.h"

#include <stdexcept>

#include "sim/pei/flash_scenario.h"
#include "sim/pei/ppi_names.h"

namespace sim {

namespace {
// Placeholder until the BMC model lands: the transport answers no command.
EFI_STATUS EFIAPI IpmiSubmitUnanswered(IPMI_TRANSPORT_PPI *, UINT8, UINT8, UINT8, UINT8 *, UINT32,
                                       UINT8 *, UINT8 *) {
  return EFI_NOT_READY;
}
} // namespace

PeiBoard::PeiBoard(const Scenario &s) : scenario(s), core(machine, s.boot_mode, s.hob_capacity) {
  machine.bus.SetCostModel(s.cost);
  LoadFlashVolumes(scenario, flash);
  for (const auto &[token, value] : s.pcd) {
    core.SetPcd(token, value);
  }
  ipmi_.IpmiSubmitCommand = IpmiSubmitUnanswered;
}

void PeiBoard::InstallPlatformPpi(const std::string &name) {
  const EFI_GUID *guid = PlatformPpiGuid(name);
  if (guid == nullptr) {
    throw std::invalid_argument("unknown platform PPI " + name);
  }
  const VOID *ppi =
      name == "IpmiTransport" ? static_cast<const VOID *>(&ipmi_) : &trigger_interface_;
  descriptors_.push_back(
      {EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, guid, ppi});
  core.InstallPpi(&descriptors_.back());
}

} // namespace sim
