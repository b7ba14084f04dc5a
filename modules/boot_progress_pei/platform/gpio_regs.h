// GPIO community registers in the PCH's private configuration space. Each pad has two
// configuration words (DW0, DW1) at PAD_CFG + 8 x pad; per-pad bit registers (host ownership,
// GPE enable, lock) hold bit n for pad n, 32 pads per register; PAD_OWN holds four bits per
// pad, eight pads per register.
#pragma once

#include "access/register.h"
#include "uefi/uefi_base.h"

struct PadCfgDw0 : RegisterValue<PadCfgDw0, UINT32> {
  REG_FIELD(31, 30, PadReset);      // pad reset configuration
  REG_FIELD(28, 28, Bit28);         // carried as the caller's configuration gives it
  REG_FIELD(26, 25, RxEventConfig); // input event configuration
  REG_FIELD(23, 23, RxInvert);
  REG_FIELD(20, 17, Route);                              // from bit 17 up: NMI, SMI, SCI, I/O APIC
  REG_FIELD(12, 10, PadMode);                            // 0: plain GPIO
  REG_FIELD(9, 8, BufferDisable);                        // bit 8 output buffer, bit 9 input buffer
  REG_FIELD(1, 1, RxState);                              // input level
  REG_FIELD(0, 0, TxState);                              // output level
  static constexpr Word kRouteSci = 1u << 2;             // within Route
  static constexpr Word kOutputBufferDisabled = 1u << 0; // within BufferDisable
};

struct PadCfgDw1 : RegisterValue<PadCfgDw1, UINT32> {
  REG_FIELD(25, 25, Bit25);       // carried as the caller's configuration gives it
  REG_FIELD(13, 10, Termination); // 0: none
};

constexpr UINT32 kPadCfgBytesPerPad = 8;
constexpr UINT32 kPadCfgDw1Offset = 4;

// PAD_OWN: a nibble per pad, of which the low two bits give the owner.
constexpr UINT32 kPadOwnPadsPerRegister = 8;
constexpr UINT32 kPadOwnBitsPerPad = 4;
constexpr UINT32 kPadOwnerMask = 0x3;
constexpr UINT32 kPadOwnerHost = 0;

constexpr UINT32 kPadsPerBitRegister = 32;
constexpr UINT32 kRegisterBytes = 4;

// A register a group does not have.
constexpr UINT32 kNoRegister = 0xFFFFFFFF;

// Per-group registers ReadGroupRegister reads, by kind.
enum GpioGroupRegisterKind : UINT32 {
  kGroupHostSwOwn = 0,
  kGroupGpiGpeEn = 1,
  kGroupGpiSmiEn = 2,
  kGroupGpiNmiEn = 3,
  kGroupPadCfgLock = 4,
  kGroupPadCfgLockTx = 5,
};
