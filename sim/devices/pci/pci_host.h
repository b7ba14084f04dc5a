// The host side of PCI: the two root buses (0 and 17), the configuration mechanisms that reach
// them, and the host decoders that open the MMIO window onto bus 0.
//   - Port mechanism: CONFIG_ADDRESS at 0xCF8 is latched only by a 32-bit write; bit 31 enables
//     the data ports 0xCFC-0xCFF, whose byte lanes select bytes of the addressed dword. Other
//     accesses to 0xCF8-0xCFB are rejected (guest errors).
//   - ECAM: 256 MiB of memory at the configuration base, 4 KiB per function.
//   - Both route by bus number (sim/devices/pci/pci_bus.h); an absent function reads all ones
//     and ignores writes (counted as a master abort).
//   - Host decode: bus 0 device 5 function 0 holds the configuration base (register 0x90,
//     read-only) and a base/limit pair in 64 KiB units (0x10C, 0x10E); bus 17 device 29
//     function 1 a rule decoder (0x40: bits 31:24 limit in 16 MiB units, bits 7:1 base bits
//     31:25, bit 0 enable; 0x44 upper base bits, must be 0 for a window below 4 GiB). Memory from
//     the configuration base + 256 MiB reaches bus 0 only where both decoders cover it.
//   - I/O that no fixed device claims goes to bus 0 (subtractive decode).
#pragma once

#include <cstdint>
#include <memory>

#include "sim/devices/pci/pci_bus.h"
#include "sim/devices/pci/pci_function.h"

namespace sim {

class PciHost : public Device {
public:
  static constexpr uint8_t kRootBus0 = 0;
  static constexpr uint8_t kRootBus17 = 17;
  static constexpr uint64_t kEcamSize = 256ull << 20;

  // Without `decoders` neither host decode function answers (a host of another design): the
  // MMIO window onto bus 0 stays closed.
  PciHost(Bus &bus, uint64_t configBase, bool decoders = true);
  ~PciHost() override;

  PciBus &RootBus0() { return bus0_; }
  PciBus &RootBus17() { return bus17_; }
  uint64_t ConfigBase() const { return config_base_; }

  // The function a configuration cycle reaches, or null.
  PciFunction *Route(uint8_t bus, uint8_t device, uint8_t function);
  uint32_t ConfigRead(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, unsigned width);
  void ConfigWrite(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, unsigned width,
                   uint32_t value);

  struct HostWindow {
    bool open;
    uint64_t base, limit;
  };
  // The MMIO range the host decoders forward to bus 0.
  HostWindow MmioWindow() const;
  uint64_t MasterAborts() const { return master_aborts_; }

  void Reset() override;

private:
  class DecodeFunction;
  void Decode();
  uint64_t ConfigPortRead(uint64_t offset, unsigned width);
  void ConfigPortWrite(uint64_t offset, unsigned width, uint64_t value);

  uint64_t config_base_;
  PciBus bus0_;
  PciBus bus17_;
  Region config_ports_;
  Region ecam_;
  Region mmio_window_;
  Region io_subtractive_;
  std::unique_ptr<PciFunction> decode_5_;  // 0:5.0
  std::unique_ptr<PciFunction> decode_29_; // 17:29.1
  uint32_t config_address_ = 0;
  uint64_t master_aborts_ = 0;
};

} // namespace sim
