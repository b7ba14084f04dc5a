#include "sim/pei/pei_board.h"

#include <stdexcept>

#include "sim/pei/flash_scenario.h"
#include "sim/pei/ppi_names.h"

namespace sim {

PeiBoard::PeiBoard(const Scenario &s, const BindingFactory &makeBinding)
    : scenario(s), binding(makeBinding ? makeBinding(*this) : nullptr),
      core(machine, s.boot_mode, s.hob_capacity, binding.get()) {
  warnings = LoadFlashVolumes(scenario, flash);
  Assemble();
}

PeiBoard::PeiBoard(const Scenario &s, const FlashContents &contents)
    : scenario(s), core(machine, s.boot_mode, s.hob_capacity, nullptr) {
  std::vector<FlashDevice::Volume> volumes;
  for (const FlashContents::Placed &p : contents.volumes) {
    volumes.push_back(p.volume);
  }
  flash.Adopt(contents.image, std::move(volumes));
  warnings = contents.warnings;
  Assemble();
}

std::shared_ptr<const PeiBoard::FlashContents> PeiBoard::PackFlash(const Scenario &s) {
  Clock clock;
  Bus bus(clock);
  FlashDevice packed(bus);
  auto contents = std::make_shared<FlashContents>();
  contents->warnings = LoadFlashVolumes(s, packed);
  for (const FlashDevice::Volume &v : packed.Volumes()) {
    std::vector<uint8_t> bytes(v.size);
    for (uint64_t i = 0; i < v.size; ++i) {
      bytes[i] = packed.Byte(v.base + i);
    }
    contents->volumes.push_back({v, std::move(bytes)});
  }
  contents->image = packed.Image();
  return contents;
}

void PeiBoard::Assemble() {
  machine.bus.SetCostModel(scenario.cost);
  for (const auto &[token, value] : scenario.pcd) {
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
