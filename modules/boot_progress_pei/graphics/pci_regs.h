// PCI configuration header registers used to find and configure the display path: the common
// header, the type 0 (device) base address registers and the type 1 (bridge) bus numbers,
// forwarding windows and bridge control.
#pragma once

#include <stdint.h>

#include "access/register.h"

// Common header.
constexpr uint16_t kPciVendorId = 0x00;
constexpr uint16_t kPciIdentity = 0x00; // vendor ID (15:0) and device ID (31:16) as one dword
constexpr uint16_t kPciCommand = 0x04;
constexpr uint16_t kPciRevisionId = 0x08;

constexpr uint16_t kPciVendorIdNone = 0xFFFF; // what an absent function answers

struct PciCommandRegister : RegisterValue<PciCommandRegister, uint16_t> {
  REG_FIELD(2, 2, BusMaster);
  REG_FIELD(1, 1, MemorySpace);
  REG_FIELD(0, 0, IoSpace);
};

// Type 0 header: six base address registers, 0x10 to 0x24.
constexpr uint16_t kPciBar0 = 0x10;
constexpr uint16_t kPciBar1 = 0x14;
constexpr uint16_t kPciBarCount = 6;
constexpr uint16_t kPciBarStride = 4;
constexpr uint32_t kPciBarSizingPattern = 0xFFFFFFFF;

struct PciBaseAddressRegister : RegisterValue<PciBaseAddressRegister, uint32_t> {
  REG_FIELD(31, 4, Address);     // memory BAR; I/O BARs use 31:2 but are sized on 31:4 here
  REG_FIELD(3, 0, Flags);        // type and attribute bits, cleared to get the address
  REG_FIELD(3, 3, Prefetchable); // memory BAR
  REG_FIELD(2, 1, MemoryType);   // memory BAR: kMemoryType32 or kMemoryType64
  REG_FIELD(0, 0, IoSpace);
  static constexpr Word kMemoryType32 = 0;
  static constexpr Word kMemoryType64 = 2;
  constexpr uint32_t BaseAddress() const { return value_ & ~FlagsField::kMask; }
};

// Type 1 header.
constexpr uint16_t kPciPrimaryBus = 0x18;
constexpr uint16_t kPciSecondaryBus = 0x19;
constexpr uint16_t kPciSubordinateBus = 0x1A;
constexpr uint16_t kPciIoBase = 0x1C;      // 8 bits: address bits 15:12 in bits 7:4
constexpr uint16_t kPciIoLimit = 0x1D;     // 8 bits: address bits 15:12 in bits 7:4
constexpr uint16_t kPciMemoryBase = 0x20;  // 16 bits: address bits 31:20 in bits 15:4
constexpr uint16_t kPciMemoryLimit = 0x22; // 16 bits: address bits 31:20 in bits 15:4
constexpr uint16_t kPciBridgeControl = 0x3E;

constexpr unsigned kPciIoWindowShift = 12;     // I/O windows in 4 KiB units
constexpr unsigned kPciMemoryWindowShift = 20; // memory windows in 1 MiB units
constexpr unsigned kPciWindowFieldShift = 4;   // the unit number sits above four flag bits

struct PciBridgeControlRegister : RegisterValue<PciBridgeControlRegister, uint16_t> {
  REG_FIELD(3, 3, VgaEnable); // forward the legacy VGA memory and I/O ranges
};
