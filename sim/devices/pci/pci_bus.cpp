#include "sim/devices/pci/pci_bus.h"

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
  slots_[static_cast<uint16_t>(device << 3 | function)] = f;
}

PciFunction *PciBus::Slot(uint8_t device, uint8_t function) const {
  auto it = slots_.find(static_cast<uint16_t>(device << 3 | function));
  return it == slots_.end() ? nullptr : it->second;
}

PciFunction *PciBus::Route(uint8_t bus, uint8_t device, uint8_t function) const {
  if (Number() == bus) {
    return Slot(device, function);
  }
  for (const auto &[slot, f] : slots_) {
    auto *bridge = dynamic_cast<PciBridge *>(f);
    if (bridge != nullptr && bridge->ForwardsBus(bus)) {
      return bridge->Secondary().Route(bus, device, function);
    }
  }
  return nullptr;
}

} // namespace sim
