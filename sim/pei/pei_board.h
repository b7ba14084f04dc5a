// The board a PEI boot runs on: the machine, the PCI host with its root buses, the display path
// the boot screen is drawn into (root ports, display bridge, VGA controller, video memory), the
// boot flash with the scenario's firmware volumes, the PEI core, and the platform around the
// display (PCH, BMC, segment table). Built from a scenario; a key that cannot be used throws
// ScenarioError.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/binding/image_calls.h"
#include "sim/core/machine.h"
#include "sim/core/phase_log.h"
#include "sim/core/scenario.h"
#include "sim/devices/memory/flash.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/pei/display_hardware.h"
#include "sim/pei/event_scenario.h"
#include "sim/pei/pei_core.h"
#include "sim/pei/platform_hardware.h"
#include "sim/screen/screenshot.h"

namespace sim {

class PeiBoard {
public:
  // Makes the core's binding for an image run; without one the board runs the host build.
  using BindingFactory = std::function<std::unique_ptr<PeiCoreBinding>(PeiBoard &)>;
  explicit PeiBoard(const Scenario &scenario, const BindingFactory &binding = {});

  // The scenario's flash as packed and placed once (its volumes and what loading them warned of),
  // for building many boards of one scenario: packing is most of a board's construction.
  struct FlashContents {
    struct Placed {
      FlashDevice::Volume volume;
      std::vector<uint8_t> bytes;
    };
    std::vector<Placed> volumes;
    std::vector<std::string> warnings;
    std::shared_ptr<const PageMemory> image; // the whole flash, shared read-only by the boards
  };
  static std::shared_ptr<const FlashContents> PackFlash(const Scenario &scenario);
  // A board of `scenario` whose flash holds `flash` (PackFlash of the same scenario): in every
  // other respect built as the constructor above builds it, so it starts from the same state.
  PeiBoard(const Scenario &scenario, const FlashContents &flash);

  // Installs, as another platform component would, the PPI a scenario names.
  void InstallPlatformPpi(const std::string &name);
  // What the display shows.
  ScreenPicture Screen() const { return display.Screen(); }

  const Scenario scenario;
  const PpiEventSetting ppi_events{ParsePpiEvents(scenario)};
  Machine machine;
  PciHost pci{machine.bus, scenario.config_base, scenario.host_decoders};
  DisplayHardware display{machine, pci, ParseDisplayConfig(scenario)};
  FlashDevice flash{machine.bus};
  std::unique_ptr<PeiCoreBinding> binding; // an image run's, or null
  PeiCore core;
  PlatformHardware platform{machine, pci, core, scenario}; // PCH, BMC, segment table
  ImageCallLog images{machine, flash}; // every DrawImageFile call, when the module is wrapped
  PhaseLog phases{machine.bus, [this] { return core.StallUs() * 1000; }}; // where the time goes
  // What the board loaded but the scenario may not mean (a volume file that does not parse).
  std::vector<std::string> warnings;

private:
  void Assemble();

  uint64_t ipmi_ = 0;              // the IPMI transport PPI (to the BMC), in the core's memory
  uint64_t trigger_interface_ = 0; // what trigger PPIs point at; no component reads it
};

} // namespace sim
