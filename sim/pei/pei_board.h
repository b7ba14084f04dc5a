// The board a PEI boot runs on: the machine, the PCI host with its root buses, the display memory
// and palette DAC the boot screen is drawn into, the boot flash with the scenario's firmware
// volumes, and the PEI core. Built from a scenario; a flash key that cannot be used throws
// ScenarioError.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "include/screen.h"
#include "sim/core/machine.h"
#include "sim/core/scenario.h"
#include "sim/devices/memory/flash.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/devices/vga/vga_dac.h"
#include "sim/pei/pei_core.h"
#include "sim/screen/image_calls.h"
#include "sim/screen/screenshot.h"
#include "uefi/ppi/ipmi_transport.h"

namespace sim {

class PeiBoard {
public:
  // Makes the core's binding for an image run; without one the board runs the host build.
  using BindingFactory = std::function<std::unique_ptr<PeiCoreBinding>(PeiBoard &)>;
  explicit PeiBoard(const Scenario &scenario, const BindingFactory &binding = {});

  // Installs, as another platform component would, the PPI a scenario names.
  void InstallPlatformPpi(const std::string &name);
  ScreenView Screen() const;

  const Scenario scenario;
  Machine machine;
  PciHost pci{machine.bus, scenario.config_base};
  // Until the display controller is modelled, the frame buffer is plain memory at its fixed
  // address and the palette a stand-alone DAC.
  RamDevice frame_buffer{machine.bus, kFrameBufferBase, kFrameBufferSize, "frame-buffer"};
  VgaDac dac{machine.bus};
  FlashDevice flash{machine.bus};
  std::unique_ptr<PeiCoreBinding> binding; // an image run's, or null
  PeiCore core;
  ImageCallLog images{machine, flash}; // every DrawImageFile call, when the module is wrapped
  // What the board loaded but the scenario may not mean (a volume file that does not parse).
  std::vector<std::string> warnings;

private:
  uint64_t ipmi_ = 0;              // the IPMI transport PPI, in the core's memory
  uint64_t trigger_interface_ = 0; // what trigger PPIs point at; no component reads it
};

} // namespace sim
