#include "sim/devices/pci/pci_bridge.h"

namespace sim {

namespace {
constexpr uint32_t kBridgeClass = 0x060400;
// Window registers: I/O base/limit bits 7:4 give address bits 15:12 (16-bit I/O decode);
// memory base/limit bits 15:4 give address bits 31:20.
constexpr uint8_t kIoWindowWritable = 0xF0;
constexpr uint16_t kMemoryWindowWritable = 0xFFF0;
constexpr unsigned kIoGranuleShift = 12 - 4;
constexpr unsigned kMemoryGranuleShift = 20 - 4;
constexpr uint64_t kIoGranule = 0x1000;
constexpr uint64_t kMemoryGranule = 0x100000;
// Bridge control bits software may set: parity, SERR#, ISA enable, VGA enable, VGA 16-bit
// decode, master abort mode, secondary bus reset.
constexpr uint16_t kBridgeControlWritable = 0x007F;

constexpr uint64_t kVgaMemoryBase = 0xA0000, kVgaMemorySize = 0x20000;
constexpr uint64_t kVgaMonoIoBase = 0x3B0, kVgaMonoIoSize = 0x0C;
constexpr uint64_t kVgaColourIoBase = 0x3C0, kVgaColourIoSize = 0x20;
} // namespace

PciBridge::PciBridge(Bus &bus, std::string name, const Identity &id)
    : PciFunction(bus, name,
                  {id.vendor, id.device, id.class_code ? id.class_code : kBridgeClass, id.revision},
                  PciConfig::kHeaderBridge),
      secondary_(this, name + " secondary", -1, this),
      memory_window_(Region::Alias(this, name + " memory window", &secondary_.Memory(), 0, 1)),
      io_window_(Region::Alias(this, name + " io window", &secondary_.Io(), 0, 1)),
      vga_memory_(Region::Alias(this, name + " vga memory", &secondary_.Memory(), kVgaMemoryBase,
                                kVgaMemorySize)),
      vga_io_mono_(Region::Alias(this, name + " vga io 3b0", &secondary_.Io(), kVgaMonoIoBase,
                                 kVgaMonoIoSize)),
      vga_io_colour_(Region::Alias(this, name + " vga io 3c0", &secondary_.Io(), kVgaColourIoBase,
                                   kVgaColourIoSize)) {
  config.DefineRange(PciBridgeConfig::kPrimaryBus, 3, 1, 0, 0xFF);
  config.Define({PciBridgeConfig::kIoBase, 1, 0, kIoWindowWritable, 0});
  config.Define({PciBridgeConfig::kIoLimit, 1, 0, kIoWindowWritable, 0});
  config.Define({PciBridgeConfig::kMemoryBase, 2, 0, kMemoryWindowWritable, 0});
  config.Define({PciBridgeConfig::kMemoryLimit, 2, 0, kMemoryWindowWritable, 0});
  config.Define({PciBridgeConfig::kPrefetchBase, 2, 0, kMemoryWindowWritable, 0});
  config.Define({PciBridgeConfig::kPrefetchLimit, 2, 0, kMemoryWindowWritable, 0});
  config.Define({PciBridgeConfig::kBridgeControl, 2, 0, kBridgeControlWritable, 0});
  for (uint16_t reg : {PciBridgeConfig::kPrimaryBus, PciBridgeConfig::kSecondaryBus,
                       PciBridgeConfig::kSubordinateBus, PciBridgeConfig::kIoBase,
                       PciBridgeConfig::kIoLimit, PciBridgeConfig::kMemoryBase,
                       PciBridgeConfig::kMemoryLimit, PciBridgeConfig::kBridgeControl}) {
    config.OnWrite(reg, [this](uint64_t, uint64_t) { Decode(); });
  }
}

PciBridge::~PciBridge() = default;

bool PciBridge::ForwardsBus(uint8_t bus) const {
  return SecondaryBus() != 0 && SecondaryBus() <= bus && bus <= SubordinateBus();
}

PciBridge::Window PciBridge::MemoryWindow() const {
  const uint64_t base = (config.Get(PciBridgeConfig::kMemoryBase, 2) & kMemoryWindowWritable)
                        << kMemoryGranuleShift;
  const uint64_t limit = ((config.Get(PciBridgeConfig::kMemoryLimit, 2) & kMemoryWindowWritable)
                          << kMemoryGranuleShift) |
                         (kMemoryGranule - 1);
  const bool on = (Command() & PciConfig::kCommandMemory) != 0 && base <= limit;
  return {on, base, limit};
}

PciBridge::Window PciBridge::IoWindow() const {
  const uint64_t base = (config.Get(PciBridgeConfig::kIoBase, 1) & kIoWindowWritable)
                        << kIoGranuleShift;
  const uint64_t limit =
      ((config.Get(PciBridgeConfig::kIoLimit, 1) & kIoWindowWritable) << kIoGranuleShift) |
      (kIoGranule - 1);
  const bool on = (Command() & PciConfig::kCommandIo) != 0 && base <= limit;
  return {on, base, limit};
}

bool PciBridge::VgaForwarding(BarKind space) const {
  const bool vga = (config.Get(PciBridgeConfig::kBridgeControl, 2) &
                    PciBridgeConfig::kBridgeControlVgaEnable) != 0;
  const uint16_t bit = space == BarKind::Memory ? PciConfig::kCommandMemory : PciConfig::kCommandIo;
  return vga && (Command() & bit) != 0;
}

void PciBridge::Place(Region &alias, Region &into, const Window &w) {
  alias.Detach();
  if (!w.open) {
    return;
  }
  alias.SetSize(w.limit - w.base + 1);
  alias.SetAliasOffset(w.base);
  into.AddSubregion(w.base, &alias);
}

void PciBridge::Decode() {
  PciFunction::Decode();
  PciBus *parent = OnBus();
  if (parent == nullptr) {
    return;
  }
  const Window memory = MemoryWindow();
  const Window io = IoWindow();
  Place(memory_window_, parent->Memory(), memory);
  Place(io_window_, parent->Io(), io);
  // Windows move by two 16-bit writes, so a window passes through ranges it was never meant to
  // hold; only one that reaches the platform's fixed ranges at the top is a conflict.
  ReportConflict(memory_conflict_, memory.open && memory.limit >= Bus::kPlatformFixedBase);
  const bool vgaMemory = VgaForwarding(BarKind::Memory);
  const bool vgaIo = VgaForwarding(BarKind::Io);
  Place(vga_memory_, parent->Memory(),
        {vgaMemory, kVgaMemoryBase, kVgaMemoryBase + kVgaMemorySize - 1});
  Place(vga_io_mono_, parent->Io(), {vgaIo, kVgaMonoIoBase, kVgaMonoIoBase + kVgaMonoIoSize - 1});
  Place(vga_io_colour_, parent->Io(),
        {vgaIo, kVgaColourIoBase, kVgaColourIoBase + kVgaColourIoSize - 1});
}

void PciBridge::Reset() { PciFunction::Reset(); }

} // namespace sim
