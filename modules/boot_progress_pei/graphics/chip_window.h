// Access to the BMC chip's internal bus through the register window in the display controller's
// second memory BAR. Every access programs the window afresh (page, then enable) and then reads
// or writes the 32-bit value in the 64 KiB aperture; nothing is cached between accesses, so a
// trace of the bus shows each chip access as three MMIO accesses.
#pragma once

#include <stddef.h>
#include <stdint.h>

uint32_t AstRead32(uint32_t address, uint32_t mmioBase);
void AstWrite32(uint32_t address, uint32_t mmioBase, uint32_t value);

// Read-modify-write: one read, then the value with `clear` bits cleared and `set` bits set.
void AstModify32(uint32_t address, uint32_t mmioBase, uint32_t clear, uint32_t set);

// Backend for the typed registers of modules/boot_progress_pei/graphics/chip_regs.h (ReadRegister,
// ModifyRegister).
struct ChipRegister32 {
  uint32_t address;
  uint32_t mmioBase;
  uint32_t Read() const { return AstRead32(address, mmioBase); }
  void Write(uint32_t value) const { AstWrite32(address, mmioBase, value); }
};

// One step of a fixed register sequence.
struct ChipWrite {
  uint32_t Address;
  uint32_t Value;
};

// Writes the steps in table order.
void AstWriteSequence(uint32_t mmioBase, const ChipWrite *writes, size_t count);

template <size_t N>
void AstWriteSequence(uint32_t mmioBase, const ChipWrite (&writes)[N]) {
  AstWriteSequence(mmioBase, writes, N);
}
