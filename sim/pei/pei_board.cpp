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
  // Until the BMC model lands the transport answers no command (the core's default).
  ipmi_ = core.PlaceIpmiTransportPpi();
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

ScreenView PeiBoard::Screen() const {
  return {frame_buffer.Data(), kScreenWidth, kScreenHeight, kScreenPitch, &dac.Palette()};
}

} // namespace sim
