// The GPIO pad code and a pad's configuration as ReadPadConfig returns it and WritePadConfig
// takes it.
//
// Pad code: chipset 31:24 (1 server PCH, 2 mobile PCH), group 23:16 (row of the group table),
// pad 15:0 within the group.
//
// PadConfig: two words of fields. In every field but Owner and Lock the lowest bit marks the
// field present and the bits above carry the hardware value: WritePadConfig leaves the hardware
// bits of a field that is 0 alone and otherwise replaces them with the field shifted right by
// one; ReadPadConfig returns each field as its hardware value shifted left by one, with the
// lowest bit set.
#pragma once

#include "access/register.h"
#include "uefi/uefi_base.h"

using PadCodeChipsetField = BitField<UINT32, 31, 24>;
using PadCodeGroupField = BitField<UINT32, 23, 16>;
using PadCodeNumberField = BitField<UINT32, 15, 0>;

constexpr UINT32 kChipsetServerPch = 1;
constexpr UINT32 kChipsetMobilePch = 2;

constexpr UINT32 MakePadCode(UINT32 chipset, UINT32 group, UINT32 pad) {
  return PadCodeNumberField::Put(
      PadCodeGroupField::Put(PadCodeChipsetField::Put(0, chipset), group), pad);
}

struct PadConfigWord0 : RegisterValue<PadConfigWord0, UINT32> {
  REG_FIELD(31, 30, Dw1Bit25);    // DW1 25
  REG_FIELD(29, 25, Termination); // DW1 13:10
  REG_FIELD(23, 21, ResetDomain); // DW0 31:30
  REG_FIELD(20, 18, Trigger);     // DW0 26:25
  REG_FIELD(17, 13, Route);       // DW0 20:17; present clears GPI_GPE_EN, SCI routing sets it
  REG_FIELD(12, 11, TxState);     // DW0 0
  REG_FIELD(10, 9, Invert);       // DW0 23
  REG_FIELD(8, 6, Buffer);        // DW0 9:8
  REG_FIELD(5, 4, Owner);         // HOSTSW_OWN: bit 0 clears the pad's bit, then bit 1 sets it
  REG_FIELD(3, 0, Mode);          // DW0 12:10
};

struct PadConfigWord1 : RegisterValue<PadConfigWord1, UINT32> {
  REG_FIELD(4, 3, Dw0Bit28); // DW0 28
  REG_FIELD(2, 0, Lock);     // bit 1 PADCFGLOCK, bit 2 PADCFGLOCKTX; requested with bit 0
};

struct PadConfig {
  PadConfigWord0 Word0;
  PadConfigWord1 Word1; // bits 31:5 are the caller's; no operation reads or writes them
};
static_assert(sizeof(PadConfig) == 8);

constexpr UINT32 kPadFieldPresent = 1u << 0;

// A field that sets the hardware bits to `hardwareValue`.
constexpr UINT32 PadField(UINT32 hardwareValue) { return (hardwareValue << 1) | kPadFieldPresent; }
constexpr UINT32 PadFieldValue(UINT32 field) { return field >> 1; }

// Owner: host software ownership is cleared by bit 0, then set by bit 1.
constexpr UINT32 kPadOwnerClear = 1u << 0;
constexpr UINT32 kPadOwnerSet = 1u << 1;
constexpr UINT32 kPadOwnerHostSoftware = PadField(1); // clear, then set: host software owns it

// Lock: with bit 0, bit 1 asks for the configuration lock and bit 2 for the output lock.
constexpr UINT32 kPadLockRequested = 1u << 0;
constexpr UINT32 kPadLockConfig = 1u << 1;
constexpr UINT32 kPadLockOutput = 1u << 2;
