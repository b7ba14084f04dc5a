// The platform around the display on the PEI board: the PCH's LPC/eSPI bridge (0:31.0, with the
// POST-code port), its sideband bridge (0:31.1) and GPIO communities (private configuration
// space at 0xFD000000), the BMC behind the IPMI transport PPI, and the platform's PCI segment
// table. Built from the scenario's pch, bmc and pcd.segment_table keys (platform_scenario.h).
//
// The segment table lives in the PEI core's memory, beside its tables and descriptors; PCD token 6
// hands the module its address, and the module reads it as ordinary memory like the HOB list (so
// those reads cost no bus time). Without the scenario key the token stays unset and the module
// uses its built-in table.
#pragma once

#include <memory>
#include <vector>

#include "sim/core/machine.h"
#include "sim/devices/bmc/bmc.h"
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
  PlatformHardware(Machine &machine, PciHost &pci, PeiCore &core, const Scenario &scenario);

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
  IpmiTransport ipmi{bmc}; // where the board's transport PPI sends commands
  // The segment table's address in the core's memory and its bytes; 0 and empty without the key.
  uint64_t segment_table_address = 0;
  std::vector<uint8_t> SegmentTableBytes() const;

private:
  PeiCore &core_;
  size_t segment_table_size_ = 0;
  GpioCommunity::PadRegisters strap_at_power_on_{};
};

} // namespace sim
