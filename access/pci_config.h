// PCI configuration access for both modules: the legacy configuration mechanism (address port
// 0xCF8, data ports 0xCFC-0xCFF), the memory-mapped (ECAM) address of a register, and accessors
// that take either. Every function takes bus, device, function, register and, for writes, the
// value, in that order.
#pragma once

#include <stdint.h>

constexpr uint16_t kPciConfigAddressPort = 0xCF8;
constexpr uint16_t kPciConfigDataPort = 0xCFC;
constexpr uint32_t kPciConfigEnable = 0x80000000u; // CONFIG_ADDRESS bit 31

// CONFIG_ADDRESS for a register below 0x100: enable, bus, device, function, dword-aligned register.
constexpr uint32_t PciConfigAddress(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  return kPciConfigEnable | (uint32_t{bus} << 16) | (uint32_t{device} << 11) |
         (uint32_t{function} << 8) | (reg & 0xFCu);
}

// ECAM: 4 KiB of configuration space per function at base + bus << 20 | device << 15 |
// function << 12.
constexpr uint64_t PciEcamAddress(uint64_t base, uint8_t bus, uint8_t device, uint8_t function,
                                  uint16_t reg) {
  return base + (uint64_t{bus} << 20) + (uint64_t{device} << 15) + (uint64_t{function} << 12) + reg;
}

// Port mechanism, for registers below 0x100: a 32-bit write of CONFIG_ADDRESS, then the data at
// 0xCFC plus the register's byte lane, with an access of the data's width.
uint8_t PciPortRead8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg);
uint16_t PciPortRead16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg);
uint32_t PciPortRead32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg);
void PciPortWrite8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint8_t value);
void PciPortWrite16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint16_t value);
void PciPortWrite32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint32_t value);

// Registers below 0x100 through the port mechanism; registers from 0x100 up through ECAM, whose
// base is the platform's PCI Express configuration base PCD, fetched afresh for every such access
// through the PEI services the core keeps below the IDT base. Device and function are not masked.
// The firmware image inlines each accessor into its caller, so that for a constant register the
// mechanism is chosen when the image is built.
uint8_t PciRead8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg);
uint16_t PciRead16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg);
uint32_t PciRead32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg);
// An ECAM write is followed by a read of the same address, so it has reached the function before
// the next access.
void PciWrite8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint8_t value);
void PciWrite16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint16_t value);
void PciWrite32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint32_t value);
