#include "sim/pei/platform_hardware.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "uefi/ppi/pcd.h"

namespace sim {

namespace {
constexpr size_t kHeaderBytes = 16;
constexpr size_t kEntryBytes = 16;
constexpr uint8_t kEndBus = 0xFF;

// Header "MCFG", the length field, 8 zero bytes; then per segment its 64-bit base, segment
// number, start bus 0, end bus 0xFF and 4 reserved bytes.
// As long as its length field says, and at least as long as its entries (the module reads no
// further than the length field).
std::vector<uint8_t> SegmentTableImage(const SegmentTableSetting &t) {
  std::vector<uint8_t> bytes(
      std::max<size_t>(t.length, kHeaderBytes + kEntryBytes * t.bases.size()));
  std::memcpy(bytes.data(), "MCFG", 4);
  std::memcpy(bytes.data() + 4, &t.length, 4);
  for (size_t i = 0; i < t.bases.size(); ++i) {
    uint8_t *entry = bytes.data() + kHeaderBytes + kEntryBytes * i;
    const uint16_t segment = static_cast<uint16_t>(i);
    std::memcpy(entry, &t.bases[i], 8);
    std::memcpy(entry + 8, &segment, 2);
    entry[10] = 0;
    entry[11] = kEndBus;
  }
  return bytes;
}
} // namespace

PlatformHardware::PlatformHardware(Machine &machine, PciHost &pci, PeiCore &core,
                                   const Scenario &scenario)
    : setting(ParsePlatformSetting(scenario)),
      lpc(machine.bus, pci.RootBus0(), setting.pch_device_id),
      p2sb(machine.bus, pci.RootBus0(), setting.sideband), bmc(machine.bus, setting.lan),
      core_(core) {
  for (uint8_t port : ServerPchGpioPorts()) {
    gpio.push_back(std::make_unique<GpioCommunity>(machine.bus, port, setting.pads));
    p2sb.AddEndpoint(port, gpio.back().get());
  }
  if (setting.segment_table) {
    const std::vector<uint8_t> table = SegmentTableImage(*setting.segment_table);
    segment_table_size_ = table.size();
    segment_table_address = core.Binding().Allocate(table.size());
    core.Memory().Write(segment_table_address, table.data(), table.size());
    core.SetPcd(kPcdTokenPciSegmentTable, segment_table_address);
  }
  strap_at_power_on_ = StrapPad();
}

std::vector<uint8_t> PlatformHardware::SegmentTableBytes() const {
  std::vector<uint8_t> bytes(segment_table_size_);
  core_.Memory().Read(segment_table_address, bytes.data(), bytes.size());
  return bytes;
}

GpioCommunity &PlatformHardware::Community(uint8_t group) {
  for (const auto &c : gpio) {
    if (c->HasGroup(group)) {
      return *c;
    }
  }
  throw std::out_of_range("no GPIO community has pad group " + std::to_string(group));
}

} // namespace sim
