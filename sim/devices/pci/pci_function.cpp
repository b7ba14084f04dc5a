#include "sim/devices/pci/pci_function.h"

#include <stdexcept>

#include "sim/devices/pci/pci_bus.h"

namespace sim {

namespace {
// Command bits software may set: I/O, memory, bus master, parity response, SERR#, INTx disable.
constexpr uint16_t kCommandWritable = 0x0547;
constexpr uint32_t kMemoryBarFlags = 0xF; // 32-bit, not prefetchable: all read 0
constexpr uint32_t kIoBarFlags = 0x3;     // bit 0 reads 1: I/O space
constexpr uint64_t kFourGiB = 1ull << 32;
} // namespace

PciFunction::PciFunction(Bus &bus, std::string name, const Identity &id, uint8_t headerType)
    : Device(bus, std::move(name)) {
  config.Define({PciConfig::kVendorId, 2, id.vendor, 0, 0});
  config.Define({PciConfig::kDeviceId, 2, id.device, 0, 0});
  config.Define({PciConfig::kCommand, 2, 0, kCommandWritable, 0});
  config.Define({PciConfig::kStatus, 2, 0, 0, 0xF900}); // error bits: write 1 to clear
  config.Define({PciConfig::kRevision, 1, id.revision, 0, 0});
  config.Define({PciConfig::kClassCode, 3, id.class_code, 0, 0});
  config.Define({PciConfig::kHeaderType, 1, headerType, 0, 0});
  config.OnWrite(PciConfig::kCommand, [this](uint64_t, uint64_t) { Decode(); });
}

// BAR targets belong to the derived model and leave the decode tree when it destroys them.
PciFunction::~PciFunction() = default;

uint32_t PciFunction::ConfigRead(uint16_t reg, unsigned width) {
  ++Counts().reads;
  return static_cast<uint32_t>(
      bus_.Answer({ReadPath::Config, this, reg, width}, config.Read(reg, width)));
}

void PciFunction::ConfigWrite(uint16_t reg, unsigned width, uint32_t value) {
  ++Counts().writes;
  config.Write(reg, width, value);
}

void PciFunction::AttachTo(PciBus &bus, uint8_t device, uint8_t function) {
  on_bus_ = &bus;
  device_ = device;
  function_ = function;
  bus.Attach(device, function, this);
  Decode();
}

void PciFunction::AddBar(unsigned index, BarKind kind, uint64_t size, Region *target) {
  const uint64_t minimum = kind == BarKind::Memory ? 16 : 4;
  if (index >= kBarCount || size < minimum || (size & (size - 1)) != 0 || size > kFourGiB / 2) {
    throw std::logic_error(Name() + ": BAR size must be a power of two from " +
                           std::to_string(minimum) + " bytes");
  }
  Bar &bar = bars_[index];
  bar.kind = kind;
  bar.size = size;
  bar.target = target;
  const uint16_t reg = static_cast<uint16_t>(PciConfig::kBar0 + 4 * index);
  const uint32_t flags = kind == BarKind::Memory ? kMemoryBarFlags : kIoBarFlags;
  const uint32_t reset = kind == BarKind::Io ? 1u : 0u;
  config.Define({reg, 4, reset, ~static_cast<uint32_t>(size - 1) & ~flags, 0});
  config.OnWrite(reg, [this](uint64_t, uint64_t) { Decode(); });
}

uint32_t PciFunction::BarAddress(unsigned index) const {
  const uint32_t raw = static_cast<uint32_t>(config.Get(PciConfig::kBar0 + 4 * index, 4));
  return raw & ~(bars_[index].kind == BarKind::Memory ? kMemoryBarFlags : kIoBarFlags);
}

bool PciFunction::BarMapped(unsigned index) const {
  return index < kBarCount && bars_[index].mapped_in != nullptr;
}

void PciFunction::UnmapBar(Bar &bar) {
  if (bar.mapped_in != nullptr) {
    bar.target->Detach();
    bar.mapped_in = nullptr;
  }
}

void PciFunction::Decode() {
  const uint16_t command = Command();
  for (unsigned i = 0; i < kBarCount; ++i) {
    Bar &bar = bars_[i];
    if (bar.target == nullptr) {
      continue;
    }
    UnmapBar(bar);
    const bool enabled = bar.kind == BarKind::Memory ? (command & PciConfig::kCommandMemory) != 0
                                                     : (command & PciConfig::kCommandIo) != 0;
    const uint64_t address = BarAddress(i);
    const uint64_t spaceSize =
        bar.kind == BarKind::Memory ? Bus::kMemorySpaceSize : Bus::kIoSpaceSize;
    // A BAR at 0 is unassigned; one that does not fit its space decodes nothing.
    if (!enabled || on_bus_ == nullptr || address == 0 || address + bar.size > spaceSize) {
      conflict_[i] = false;
      continue;
    }
    Region &space = bar.kind == BarKind::Memory ? on_bus_->Memory() : on_bus_->Io();
    space.AddSubregion(address, bar.target);
    bar.mapped_in = &space;
    const bool conflict = bar.kind == BarKind::Memory &&
                          !bus_.FixedConflict(Space::Memory, address, bar.size).empty();
    ReportConflict(conflict_[i], conflict);
  }
}

void PciFunction::ReportConflict(bool &was, bool now) {
  if (now && !was) {
    GuestError();
  }
  was = now;
}

void PciFunction::Reset() {
  config.Reset();
  Decode();
}

} // namespace sim
