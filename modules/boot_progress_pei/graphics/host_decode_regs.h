// Host-side memory decoders that must pass the display path's MMIO window to the PCH: a
// configuration-base register and a 64 KiB-granular base/limit pair in the host bridge at
// bus 0, device 5, function 0, and a decode rule at bus 17, device 29, function 1.
#pragma once

#include <stdint.h>

#include "access/register.h"

struct PciLocation {
  uint8_t Bus;
  uint8_t Device;
  uint8_t Function;
};

inline constexpr PciLocation kHostBridge = {0, 5, 0};
constexpr uint16_t kHostConfigBase = 0x90;       // memory-mapped configuration base, 32 bits
constexpr uint16_t kHostMmioWindowBase = 0x10C;  // 16 bits, address bits 31:16
constexpr uint16_t kHostMmioWindowLimit = 0x10E; // 16 bits, address bits 31:16
constexpr unsigned kHostMmioWindowShift = 16;

inline constexpr PciLocation kMmioRuleDecoder = {17, 29, 1};
constexpr uint16_t kMmioRule = 0x40;
constexpr uint16_t kMmioRuleHigh = 0x44; // upper half of the rule; 0 for a window below 4 GiB

struct MmioRuleRegister : RegisterValue<MmioRuleRegister, uint32_t> {
  REG_FIELD(31, 24, Limit); // address bits 31:24 of the window's last byte
  REG_FIELD(6, 1, Base);    // address bits 31:26 of the window's first byte
  REG_FIELD(0, 0, Enable);
  static constexpr unsigned kLimitShift = 24;
  static constexpr unsigned kBaseShift = 26;
};
