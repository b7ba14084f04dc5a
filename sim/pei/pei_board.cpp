#include "sim/pei/pei_board.h"

#include <stdexcept>

#include "sim/pei/flash_scenario.h"
#include "sim/pei/ppi_names.h"

namespace sim {

PeiBoard::PeiBoard(const Scenario &s, const BindingFactory &makeBinding)
    : scenario(s), binding(makeBinding ? makeBinding(*this) : nullptr),
      core(machine, s.boot_mode, s.hob_capacity, binding.get()) {
  machine.bus.SetCostModel(s.cost);
  warnings = LoadFlashVolumes(scenario, flash);
  for (const auto &[token, value] : s.pcd) {
    core.SetPcd(token, value);
  }
  // The transport's commands go to the BMC model.
  ipmi_ = core.PlaceIpmiTransportPpi();
  core.ipmi = [this](const IpmiRequest &request) { return platform.ipmi.Answer(request); };
  trigger_interface_ = core.Binding().Allocate(sizeof(uint64_t));
}

void PeiBoard::InstallPlatformPpi(const std::string &name) {
  const EFI_GUID *guid = PlatformPpiGuid(name);
  if (guid == nullptr) {
    throw std::invalid_argument("unknown platform PPI " + name);
  }
  const uint64_t ppi = name == "IpmiTransport" ? ipmi_ : trigger_interface_;
  core.InstallPpiAt(core.PlacePpiDescriptor(*guid, ppi));
}

} // namespace sim
