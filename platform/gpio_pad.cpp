// Pad configuration, input, ownership and lock state, through the GPIO community registers.
#include "access/mmio.h"
#include "platform/gpio.h"
#include "platform/gpio_regs.h"
#include "platform/pad_access.h"
#include "platform/pch_family.h"
#include "platform/pch_regs.h"

namespace {

// Offsets are summed in 16 bits, as the private configuration space decodes them.
UINT16 OffsetPlus(UINT32 base, UINT32 delta) { return static_cast<UINT16>(base + delta); }

UINT32 ReadCommunity(const GpioGroupRow &row, UINT16 offset) {
  return MmioRead32(PchPcrAddress(row.PortId, offset));
}
void WriteCommunity(const GpioGroupRow &row, UINT16 offset, UINT32 value) {
  MmioWrite32(PchPcrAddress(row.PortId, offset), value);
}

UINT16 Dw0Offset(const PadLocation &pad) {
  return OffsetPlus(pad.Row->PadCfg, pad.Number * kPadCfgBytesPerPad);
}
UINT16 Dw1Offset(const PadLocation &pad) { return OffsetPlus(Dw0Offset(pad), kPadCfgDw1Offset); }

// The register holding the pad's bit in a per-pad bit register bank, and the bit.
UINT16 BitRegisterOffset(UINT32 base, UINT32 pad) {
  return OffsetPlus(base, (pad / kPadsPerBitRegister) * kRegisterBytes);
}
UINT32 PadBit(UINT32 pad) { return 1u << (pad % kPadsPerBitRegister); }

// The pad's bit in a per-pad bit register, 0 when the group has no such register.
UINT32 ReadPadBit(const PadLocation &pad, UINT32 base) {
  if (base == kNoRegister) {
    return 0;
  }
  return (ReadCommunity(*pad.Row, BitRegisterOffset(base, pad.Number)) & PadBit(pad.Number)) != 0;
}

// Clears the pad's bit when `clear`, then sets it when `set`; one read and one write.
void UpdatePadBit(const PadLocation &pad, UINT32 base, bool clear, bool set) {
  if (base == kNoRegister) {
    return;
  }
  const UINT16 offset = BitRegisterOffset(base, pad.Number);
  UINT32 value = ReadCommunity(*pad.Row, offset);
  if (clear) {
    value &= ~PadBit(pad.Number);
  }
  if (set) {
    value |= PadBit(pad.Number);
  }
  WriteCommunity(*pad.Row, offset, value);
}

// What ReadPadConfig and WritePadConfig check first: the PCH, host ownership, the table.
EFI_STATUS FindHostOwnedPad(UINT32 padCode, PadLocation *pad) {
  if (!PadMatchesPch(padCode)) {
    return EFI_UNSUPPORTED;
  }
  UINT32 owner = 0;
  if (EFI_ERROR(ReadPadOwnership(padCode, &owner)) || owner != kPadOwnerHost) {
    return EFI_UNSUPPORTED;
  }
  if (PadCodeChipsetField::Get(padCode) != kChipsetServerPch || !FindPad(padCode, pad)) {
    return EFI_INVALID_PARAMETER;
  }
  return EFI_SUCCESS;
}

// Route field bit that sets GPI_GPE_EN: the SCI routing bit, one above the present bit.
constexpr UINT32 kRouteFieldSci = PadCfgDw0::kRouteSci << 1;

UINT32 GroupRegisterOffset(const GpioGroupRow &row, UINT32 kind) {
  switch (kind) {
  case kGroupHostSwOwn:
    return row.HostSwOwn;
  case kGroupGpiGpeEn:
    return row.GpiGpeEn;
  case kGroupGpiSmiEn:
    return row.GpiSmiEn;
  case kGroupGpiNmiEn:
    return row.GpiNmiEn;
  case kGroupPadCfgLock:
    return row.PadCfgLock;
  case kGroupPadCfgLockTx:
    return row.PadCfgLockTx;
  default:
    return 0;
  }
}

} // namespace

bool FindPad(UINT32 padCode, PadLocation *pad) {
  UINT32 count = 0;
  const GpioGroupRow *table = GetGpioGroupTable(&count);
  const UINT32 group = PadCodeGroupField::Get(padCode);
  const UINT32 number = PadCodeNumberField::Get(padCode);
  if (table == nullptr || group >= count || number >= table[group].PadCount) {
    return false;
  }
  *pad = {&table[group], group, number};
  return true;
}

bool PadMatchesPch(UINT32 padCode) {
  const UINT32 family = GetPchFamily();
  return family != kPchFamilyUnknown && PadCodeChipsetField::Get(padCode) == family;
}

EFI_STATUS ReadPadOwnership(UINT32 padCode, UINT32 *owner) {
  PadLocation pad;
  if (owner == nullptr || !FindPad(padCode, &pad)) {
    return EFI_INVALID_PARAMETER;
  }
  const UINT16 offset =
      OffsetPlus(pad.Row->PadOwn, (pad.Number / kPadOwnPadsPerRegister) * kRegisterBytes);
  const UINT32 shift = (pad.Number % kPadOwnPadsPerRegister) * kPadOwnBitsPerPad;
  *owner = (ReadCommunity(*pad.Row, offset) >> shift) & kPadOwnerMask;
  return EFI_SUCCESS;
}

EFI_STATUS ReadPadInput(UINT32 padCode, UINT32 *input) {
  if (input == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (!PadMatchesPch(padCode)) {
    return EFI_UNSUPPORTED;
  }
  PadLocation pad;
  if (!FindPad(padCode, &pad)) {
    return EFI_INVALID_PARAMETER;
  }
  UINT32 owner = 0;
  if (EFI_ERROR(ReadPadOwnership(padCode, &owner)) || owner != kPadOwnerHost) {
    return EFI_UNSUPPORTED;
  }
  *input = ReadCommunity(*pad.Row, Dw0Offset(pad)) & PadCfgDw0::RxStateField::kMask;
  return EFI_SUCCESS;
}

EFI_STATUS ReadPadConfig(UINT32 padCode, PadConfig *config) {
  if (config == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  PadLocation pad;
  const EFI_STATUS status = FindHostOwnedPad(padCode, &pad);
  if (EFI_ERROR(status)) {
    return status;
  }
  const PadCfgDw0 dw0 = PadCfgDw0::From(ReadCommunity(*pad.Row, Dw0Offset(pad)));
  const PadCfgDw1 dw1 = PadCfgDw1::From(ReadCommunity(*pad.Row, Dw1Offset(pad)));
  const UINT32 hostSoftwareOwned = ReadPadBit(pad, pad.Row->HostSwOwn);
  const UINT32 configLocked = ReadPadBit(pad, pad.Row->PadCfgLock);
  const UINT32 outputLocked = ReadPadBit(pad, pad.Row->PadCfgLockTx);

  PadConfigWord0 word0;
  word0.SetMode(PadField(dw0.PadMode()))
      .SetOwner(PadField(hostSoftwareOwned))
      .SetBuffer(PadField(dw0.BufferDisable()))
      .SetInvert(PadField(dw0.RxInvert()))
      .SetTxState(PadField(dw0.TxState()))
      .SetRoute(PadField(dw0.Route()))
      .SetTrigger(PadField(dw0.RxEventConfig()))
      .SetResetDomain(PadField(dw0.PadReset()))
      .SetTermination(PadField(dw1.Termination()))
      .SetDw1Bit25(PadField(dw1.Bit25()));
  config->Word0 = word0;
  config->Word1
      .SetLock(kPadLockRequested | (configLocked ? kPadLockConfig : 0) |
               (outputLocked ? kPadLockOutput : 0))
      .SetDw0Bit28(PadField(dw0.Bit28()));
  return EFI_SUCCESS;
}

EFI_STATUS WritePadConfig(UINT32 padCode, const PadConfig *config) {
  if (config == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  PadLocation pad;
  const EFI_STATUS status = FindHostOwnedPad(padCode, &pad);
  if (EFI_ERROR(status)) {
    return status;
  }
  if (IsPadConfigLocked(pad.Group, pad.Number)) {
    return EFI_WRITE_PROTECTED;
  }
  const PadConfigWord0 word0 = config->Word0;
  const PadConfigWord1 word1 = config->Word1;

  PadCfgDw0 dw0 = PadCfgDw0::From(ReadCommunity(*pad.Row, Dw0Offset(pad)));
  if (word0.Mode() != 0) {
    dw0.SetPadMode(PadFieldValue(word0.Mode()));
  }
  if (word0.Buffer() != 0) {
    dw0.SetBufferDisable(PadFieldValue(word0.Buffer()));
  }
  if (word0.Invert() != 0) {
    dw0.SetRxInvert(PadFieldValue(word0.Invert()));
  }
  if (word0.TxState() != 0) {
    dw0.SetTxState(PadFieldValue(word0.TxState()));
  }
  if (word0.Route() != 0) {
    dw0.SetRoute(PadFieldValue(word0.Route()));
  }
  if (word0.Trigger() != 0) {
    dw0.SetRxEventConfig(PadFieldValue(word0.Trigger()));
  }
  if (word0.ResetDomain() != 0) {
    dw0.SetPadReset(PadFieldValue(word0.ResetDomain()));
  }
  if (word1.Dw0Bit28() != 0) {
    dw0.SetBit28(PadFieldValue(word1.Dw0Bit28()));
  }
  WriteCommunity(*pad.Row, Dw0Offset(pad), dw0.Raw());

  PadCfgDw1 dw1 = PadCfgDw1::From(ReadCommunity(*pad.Row, Dw1Offset(pad)));
  if (word0.Termination() != 0) {
    dw1.SetTermination(PadFieldValue(word0.Termination()));
  }
  if (word0.Dw1Bit25() != 0) {
    dw1.SetBit25(PadFieldValue(word0.Dw1Bit25()));
  }
  WriteCommunity(*pad.Row, Dw1Offset(pad), dw1.Raw());

  UpdatePadBit(pad, pad.Row->HostSwOwn, (word0.Owner() & kPadOwnerClear) != 0,
               (word0.Owner() & kPadOwnerSet) != 0);
  UpdatePadBit(pad, pad.Row->GpiGpeEn, (word0.Route() & kPadFieldPresent) != 0,
               (word0.Route() & kRouteFieldSci) != 0);

  const UINT32 lock = word1.Lock();
  if ((lock & (kPadLockRequested | kPadLockConfig)) == (kPadLockRequested | kPadLockConfig)) {
    LockPadViaSideband(kGroupPadCfgLock, padCode);
  }
  if ((lock & (kPadLockRequested | kPadLockOutput)) == (kPadLockRequested | kPadLockOutput)) {
    LockPadViaSideband(kGroupPadCfgLockTx, padCode);
  }
  return EFI_SUCCESS;
}

bool IsPadConfigLocked(UINT32 group, UINT32 pad) {
  UINT32 count = 0;
  const GpioGroupRow *table = GetGpioGroupTable(&count);
  if (table == nullptr || group >= count || pad >= table[group].PadCount) {
    return true;
  }
  const PadLocation at = {&table[group], group, pad};
  return ReadPadBit(at, at.Row->PadCfgLock) != 0;
}

EFI_STATUS ReadGroupRegister(UINT32 index, UINT32 kind, UINT32 group, UINT32 *value) {
  UINT32 count = 0;
  const GpioGroupRow *table = GetGpioGroupTable(&count);
  if (value == nullptr || table == nullptr || group >= count) {
    return EFI_INVALID_PARAMETER;
  }
  const GpioGroupRow &row = table[group];
  const UINT32 offset = GroupRegisterOffset(row, kind);
  const UINT32 registers = (row.PadCount + kPadsPerBitRegister - 1) / kPadsPerBitRegister;
  if (offset == kNoRegister || index >= registers) {
    return EFI_INVALID_PARAMETER;
  }
  *value = ReadCommunity(row, OffsetPlus(offset, index * kRegisterBytes));
  return EFI_SUCCESS;
}
