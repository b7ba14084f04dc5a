#include "sim/devices/pch/lpc_bridge.h"

#include "sim/devices/pci/pci_ids.h"

namespace sim {

namespace {
constexpr uint32_t kClassIsaBridge = 0x060100;
constexpr uint8_t kHeaderMultiFunction = 0x80; // function 1 (the sideband bridge) follows
} // namespace

LpcBridge::LpcBridge(Bus &bus, PciBus &bus0, uint16_t deviceId)
    : PciFunction(bus, "lpc 0:31.0", Identity{kBoardVendorId, deviceId, kClassIsaBridge, 0},
                  kHeaderMultiFunction),
      post_code_region_(Region::Leaf(
          this, "post code", 1,
          [this](uint64_t, unsigned) -> uint64_t {
            ++post_code_reads_;
            return post_code_;
          },
          [this](uint64_t, unsigned, uint64_t value) {
            ++post_code_writes_;
            post_code_ = static_cast<uint8_t>(value);
          },
          kW8)) {
  AttachTo(bus0, kDevice, kFunction);
  bus0.Io().AddSubregion(kPostCodePort, &post_code_region_);
}

void LpcBridge::Reset() {
  post_code_ = 0;
  PciFunction::Reset();
}

} // namespace sim
