// A PCI-to-PCI bridge (type 1 header): a PCH root port or a PCIe-to-PCI bridge. It forwards
// downstream, onto its secondary bus:
//   - configuration cycles for buses from its secondary to its subordinate number;
//   - memory in its memory window and I/O in its I/O window, when the command register enables
//     the space and the window's base is not above its limit;
//   - the legacy VGA ranges (memory 0xA0000-0xBFFFF, I/O 0x3B0-0x3BB and 0x3C0-0x3DF) when bridge
//     control's VGA enable and the matching command bit are set.
// Writes to the command, bus-number, window or bridge-control registers recompute the forwarding.
// A memory window that reaches the platform's fixed ranges (Bus::kPlatformFixedBase up: I/O APIC,
// HPET, TPM, local APIC, boot flash) is a decode conflict, counted as a guest error when it opens.
// The prefetchable window is implemented as registers but forwards nothing (no function here
// has a prefetchable BAR).
#pragma once

#include <memory>

#include "sim/devices/pci/pci_bus.h"
#include "sim/devices/pci/pci_function.h"

namespace sim {

struct PciBridgeConfig {
  static constexpr uint16_t kPrimaryBus = 0x18;
  static constexpr uint16_t kSecondaryBus = 0x19;
  static constexpr uint16_t kSubordinateBus = 0x1A;
  static constexpr uint16_t kIoBase = 0x1C;
  static constexpr uint16_t kIoLimit = 0x1D;
  static constexpr uint16_t kMemoryBase = 0x20;
  static constexpr uint16_t kMemoryLimit = 0x22;
  static constexpr uint16_t kPrefetchBase = 0x24;
  static constexpr uint16_t kPrefetchLimit = 0x26;
  static constexpr uint16_t kBridgeControl = 0x3E;
  static constexpr uint16_t kBridgeControlVgaEnable = 1u << 3;
};

class PciBridge : public PciFunction {
public:
  PciBridge(Bus &bus, std::string name, const Identity &id);
  ~PciBridge() override;

  PciBus &Secondary() { return secondary_; }
  uint8_t PrimaryBus() const { return Byte(PciBridgeConfig::kPrimaryBus); }
  uint8_t SecondaryBus() const { return Byte(PciBridgeConfig::kSecondaryBus); }
  uint8_t SubordinateBus() const { return Byte(PciBridgeConfig::kSubordinateBus); }
  // True when a configuration cycle for `bus` passes this bridge.
  bool ForwardsBus(uint8_t bus) const;

  struct Window {
    bool open;
    uint64_t base, limit;
  };
  Window MemoryWindow() const;
  Window IoWindow() const;
  bool VgaForwarding(BarKind space) const;

  void Reset() override;

protected:
  void Decode() override;

private:
  uint8_t Byte(uint16_t reg) const { return static_cast<uint8_t>(config.Get(reg, 1)); }
  void Place(Region &alias, Region &into, const Window &w);

  PciBus secondary_;
  Region memory_window_;
  Region io_window_;
  Region vga_memory_;
  Region vga_io_mono_;
  Region vga_io_colour_;
  bool memory_conflict_ = false;
};

} // namespace sim
