// The power-management controller's ACPI I/O configuration, PCI bus 0 device 31 function 2:
// ABASE (0x40, bits 15:8 the base, bit 0 hard-wired to 1 for I/O space) and ACPI_CNTL (0x44,
// bit 7 decode enable, bits 2:0 the SCI routing). With decode on, the PM timer answers at
// ABASE + 8; any write to either register recomputes that.
#pragma once

#include <cstdint>

#include "sim/devices/pch/pm_timer.h"
#include "sim/devices/pci/pci_host.h"

namespace sim {

class PmcAcpi : public PciFunction {
public:
  static constexpr uint8_t kBus = 0, kDevice = 31, kFunction = 2;
  static constexpr uint16_t kAbase = 0x40;
  static constexpr uint16_t kAcpiCntl = 0x44;
  static constexpr uint8_t kAcpiEnable = 0x80;

  PmcAcpi(Bus &bus, PciHost &host, PmTimer &timer);

  // Board set-up: the state firmware finds at load.
  void SetState(uint16_t abase, bool decode);
  uint16_t AcpiBase() const { return static_cast<uint16_t>(config.Get(kAbase, 2) & 0xFF00); }
  bool DecodeEnabled() const { return (config.Get(kAcpiCntl, 1) & kAcpiEnable) != 0; }
  // Configuration writes the firmware made.
  uint64_t ConfigWrites() const { return Counts().writes; }

protected:
  void Decode() override;

private:
  PmTimer &timer_;
};

} // namespace sim
