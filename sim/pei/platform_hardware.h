// The platform around the display on the PEI board: the PCH's LPC/eSPI bridge (0:31.0, with the
// POST-code port), its sideband bridge (0:31.1) and GPIO communities (private configuration
// space at 0xFD000000), the BMC behind the IPMI transport PPI, and the platform's PCI segment
// table. Built from the scenario's pch, bmc and pcd.segment_table keys (platform_scenario.h).
//
// The segment table lives in 4 KiB of RAM at physical 0xFEF00000. PCD token 6 hands the module
// the address of that RAM's bytes, which it reads as ordinary memory like the HOB list (so those
// reads cost no bus time); without the scenario key the token stays unset and the module uses
// its built-in table.
#pragma once

#include <memory>
#include <vector>

#include "sim/core/machine.h"
#include "sim/devices/bmc/bmc.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/devices/pch/gpio_community.h"
#include "sim/devices/pch/lpc_bridge.h"
#include "sim/devices/pch/p2sb.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/pei/ipmi_transport.h"
#include "sim/pei/pei_core.h"
#include "sim/pei/platform_scenario.h"

namespace sim {

class PlatformHardware {
public:
  static constexpr uint64_t kSegmentTableBase = 0xFEF00000;
  static constexpr uint64_t kSegmentTableSize = 0x1000;

  PlatformHardware(Machine &machine, PciHost &pci, PeiCore &core, const Scenario &scenario);

  IPMI_TRANSPORT_PPI *IpmiTransportPpi() { return ipmi.Ppi(); }
  // The community that holds pad group `group` (0 to 12).
  GpioCommunity &Community(uint8_t group);
  GpioCommunity::PadRegisters StrapPad() {
    return Community(kAddressStrapGroup).Pad(kAddressStrapGroup, kAddressStrapPad);
  }
  // The strap pad's registers at power-on.
  const GpioCommunity::PadRegisters &StrapPadAtPowerOn() const { return strap_at_power_on_; }

  const PlatformSetting setting;
  LpcBridge lpc;
  P2sb p2sb;
  std::vector<std::unique_ptr<GpioCommunity>> gpio;
  Bmc bmc;
  IpmiTransport ipmi{bmc};
  RamDevice segment_table;

private:
  GpioCommunity::PadRegisters strap_at_power_on_{};
};

} // namespace sim
