// Memory-mapped register and device-memory access (frame buffer, flash, ECAM, chip registers).
// Module code never dereferences a hardware address; it passes the physical address here.
#pragma once

#include <stdint.h>

uint8_t MmioRead8(uintptr_t address);
uint16_t MmioRead16(uintptr_t address);
uint32_t MmioRead32(uintptr_t address);
uint64_t MmioRead64(uintptr_t address);
void MmioWrite8(uintptr_t address, uint8_t value);
void MmioWrite16(uintptr_t address, uint16_t value);
void MmioWrite32(uintptr_t address, uint32_t value);
void MmioWrite64(uintptr_t address, uint64_t value);

// Sets `count` bytes from `address` to `value`, in ascending address order.
void MmioFill8(uintptr_t address, uintptr_t count, uint8_t value);
// The same bytes, in ascending address order, with a quarter of the transactions: aligned 32-bit
// stores, and single-byte stores only before the range's first and after its last 4-byte
// boundary.
void MmioFill8Wide(uintptr_t address, uintptr_t count, uint8_t value);
