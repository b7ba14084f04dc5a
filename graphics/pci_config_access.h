// PCI configuration access for the display bring-up. Registers below 0x100 go through the port
// mechanism (0xCF8/0xCFC); registers from 0x100 up through ECAM, whose base is the platform's
// PCI Express configuration base PCD, fetched afresh for every such access. Arguments: register,
// bus, device, function and, for writes, the value. Device and function are not masked.
// The firmware image inlines each accessor into its caller, so that for a constant register the
// mechanism is chosen when the image is built.
#pragma once

#include <stdint.h>

uint8_t PciRead8(uint16_t reg, uint8_t bus, uint8_t device, uint8_t function);
uint16_t PciRead16(uint16_t reg, uint8_t bus, uint8_t device, uint8_t function);
uint32_t PciRead32(uint16_t reg, uint8_t bus, uint8_t device, uint8_t function);
// An ECAM write is followed by a read of the same address, so it has reached the function before
// the next access.
void PciWrite8(uint16_t reg, uint8_t bus, uint8_t device, uint8_t function, uint8_t value);
void PciWrite16(uint16_t reg, uint8_t bus, uint8_t device, uint8_t function, uint16_t value);
void PciWrite32(uint16_t reg, uint8_t bus, uint8_t device, uint8_t function, uint32_t value);
