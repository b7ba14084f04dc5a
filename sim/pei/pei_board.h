// The board a PEI boot runs on: the machine, the PCI host with its root buses, the display path
// the boot screen is drawn into (root ports, display bridge, VGA controller, video memory), the
// boot flash with the scenario's firmware volumes, and the PEI core. Built from a scenario; a
// flash or display key that cannot be used throws ScenarioError.
#pragma once

#include <deque>
#include <string>

#include "include/screen.h"
#include "sim/core/machine.h"
#include "sim/core/scenario.h"
#include "sim/devices/memory/flash.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/pei/display_hardware.h"
#include "sim/pei/pei_core.h"
#include "sim/screen/image_calls.h"
#include "sim/screen/screenshot.h"
#include "uefi/ppi/ipmi_transport.h"

namespace sim {

class PeiBoard {
public:
  explicit PeiBoard(const Scenario &scenario);

  // Installs, as another platform component would, the PPI a scenario names.
  void InstallPlatformPpi(const std::string &name);
  // What the display shows.
  ScreenPicture Screen() const { return display.Screen(); }

  const Scenario scenario;
  Machine machine;
  PciHost pci{machine.bus, scenario.config_base};
  DisplayHardware display{machine, pci, ParseDisplayConfig(scenario)};
  FlashDevice flash{machine.bus};
  PeiCore core;
  ImageCallLog images{machine, flash}; // every DrawImageFile call, when the module is wrapped

private:
  std::deque<EFI_PEI_PPI_DESCRIPTOR> descriptors_; // stable addresses for installed PPIs
  IPMI_TRANSPORT_PPI ipmi_{};
  uint64_t trigger_interface_ = 0; // what trigger PPIs point at; no component reads it
};

} // namespace sim
