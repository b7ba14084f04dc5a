#include "sim/devices/pci/pci_bus.h"

#include <algorithm>

#include "sim/core/bus.h"
#include "sim/devices/pci/pci_bridge.h"

namespace sim {

PciBus::PciBus(Device *owner, const std::string &name, int fixedNumber, PciBridge *upstream)
    : memory_(Region::Container(owner, name + " memory", Bus::kMemorySpaceSize)),
      io_(Region::Container(owner, name + " io", Bus::kIoSpaceSize)), fixed_number_(fixedNumber),
      upstream_(upstream) {}

int PciBus::Number() const {
  return fixed_number_ >= 0 ? fixed_number_ : (upstream_ ? upstream_->SecondaryBus() : -1);
}

void PciBus::Attach(uint8_t device, uint8_t function, PciFunction *f) {
  const auto slot = static_cast<uint16_t>((device & 31) << 3 | (function & 7));
  slots_[slot] = f;
  std::erase_if(bridges_, [slot](const auto &b) { return b.first == slot; });
  if (auto *bridge = dynamic_cast<PciBridge *>(f)) {
    bridges_.insert(std::lower_bound(bridges_.begin(), bridges_.end(),
                                     std::make_pair(slot, static_cast<PciBridge *>(nullptr))),
                    {slot, bridge});
  }
}

PciFunction *PciBus::Slot(uint8_t device, uint8_t function) const {
  return device < 32 && function < 8 ? slots_[device << 3 | function] : nullptr;
}

PciFunction *PciBus::Route(uint8_t bus, uint8_t device, uint8_t function) const {
  if (Number() == bus) {
    return Slot(device, function);
  }
  for (const auto &[slot, bridge] : bridges_) {
    if (bridge->ForwardsBus(bus)) {
      return bridge->Secondary().Route(bus, device, function);
    }
  }
  return nullptr;
}

} // namespace sim
