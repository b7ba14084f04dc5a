// The PCH's LPC/eSPI bridge, bus 0 device 31 function 0: an ISA-bridge function whose device ID
// tells firmware which PCH the board carries, and the POST-code register at I/O port 0x80 that it
// decodes on bus 0 (a write latches the code, a read returns the last code written; firmware
// also reads it as a short bus delay).
#pragma once

#include <cstdint>

#include "sim/devices/pci/pci_bus.h"
#include "sim/devices/pci/pci_function.h"

namespace sim {

class LpcBridge : public PciFunction {
public:
  static constexpr uint8_t kDevice = 31;
  static constexpr uint8_t kFunction = 0;
  static constexpr uint16_t kPostCodePort = 0x80;
  static constexpr uint16_t kDefaultDeviceId = 0xA1C1; // a server PCH

  LpcBridge(Bus &bus, PciBus &bus0, uint16_t deviceId);

  uint8_t PostCode() const { return post_code_; }
  uint64_t PostCodeWrites() const { return post_code_writes_; }
  uint64_t PostCodeReads() const { return post_code_reads_; }

  void Reset() override;

private:
  uint8_t post_code_ = 0;
  uint64_t post_code_writes_ = 0;
  uint64_t post_code_reads_ = 0;
  Region post_code_region_;
};

} // namespace sim
