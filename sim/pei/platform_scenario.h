// The scenario keys of the PCH, the BMC and the segment table (docs/platform.md):
//   pch.device_id        the LPC/eSPI bridge's device ID (default 0xA1C1, a server PCH)
//   pch.p2sb_hidden      whether the sideband bridge is hidden at power-on (default true)
//   pch.pads             {"0x01060015": {"level", "dw0", "dw1", "owner", "hostsw_own", "gpe_en",
//                         "locked", "tx_locked"}}: pads' power-on states by pad code
//   pch.sideband         {"busy_reads", "stuck", "status"}: how the sideband interface behaves
//   bmc.lan              {"1": {"ip", "set_in_progress", "fail", "short_response"}}: the BMC's
//                        LAN channels (default: channel 1 at 192.168.1.100); a channel not
//                        listed is answered with an error completion code
//   pcd.segment_table    {"length", "entries": [base, ...]}: the platform's PCI segment table,
//                        published through PCD token 6
// A value that cannot be used throws ScenarioError naming the file, the key and what was expected.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/core/scenario.h"
#include "sim/devices/bmc/bmc.h"
#include "sim/devices/pch/gpio_community.h"
#include "sim/devices/pch/p2sb.h"

namespace sim {

// The pad the board's address strap is wired to: group 6, pad 21.
inline constexpr uint8_t kAddressStrapGroup = 6;
inline constexpr uint8_t kAddressStrapPad = 21;

struct SegmentTableSetting {
  uint32_t length;             // the header's length field
  std::vector<uint64_t> bases; // ECAM base of segment 0, 1, ...
};

struct PlatformSetting {
  uint16_t pch_device_id = 0xA1C1;
  P2sb::Behaviour sideband;
  GpioPadStates pads;
  Bmc::LanChannels lan = {{1, Bmc::LanChannel{{192, 168, 1, 100}}}};
  std::optional<SegmentTableSetting> segment_table;
};

PlatformSetting ParsePlatformSetting(const Scenario &scenario);

} // namespace sim
