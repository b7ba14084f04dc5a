// Pad configuration, input, ownership and lock state, through the GPIO community registers.
#include "access/mmio.h"
#include "modules/boot_progress_pei/platform/gpio.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"
#include "modules/boot_progress_pei/platform/pad_access.h"
#include "modules/boot_progress_pei/platform/pch_family.h"
#include "modules/boot_progress_pei/platform/pch_regs.h"

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

// The PadConfig fields that carry bits of the pad's configuration words: where the field lies in
// the PadConfig (its present bit at ConfigLow, the hardware value above it) and where the value
// lies in DW0 or DW1. One table serves reading and writing.
struct CarriedField {
  UINT8 ConfigWord; // 0: Word0, 1: Word1
  UINT8 ConfigLow;
  UINT8 PadDword; // 0: DW0, 1: DW1
  UINT8 HardwareLow;
  UINT8 HardwareWidth;
};

constexpr UINT8 LowBit(UINT32 mask) {
  UINT8 low = 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++low;
  }
  return low;
}

template <typename ConfigField, typename HardwareField>
constexpr CarriedField Carry(UINT8 configWord, UINT8 padDword) {
  static_assert(ConfigField::kWidth == HardwareField::kWidth + 1, "present bit and value");
  return {configWord, LowBit(ConfigField::kMask), padDword, LowBit(HardwareField::kMask),
          static_cast<UINT8>(HardwareField::kWidth)};
}

constexpr UINT8 kWord0 = 0;
constexpr UINT8 kWord1 = 1;
constexpr UINT8 kDw0 = 0;
constexpr UINT8 kDw1 = 1;
constexpr UINT32 kPadDwordCount = 2;

constexpr CarriedField kCarriedFields[] = {
    Carry<PadConfigWord0::ModeField, PadCfgDw0::PadModeField>(kWord0, kDw0),
    Carry<PadConfigWord0::BufferField, PadCfgDw0::BufferDisableField>(kWord0, kDw0),
    Carry<PadConfigWord0::InvertField, PadCfgDw0::RxInvertField>(kWord0, kDw0),
    Carry<PadConfigWord0::TxStateField, PadCfgDw0::TxStateField>(kWord0, kDw0),
    Carry<PadConfigWord0::RouteField, PadCfgDw0::RouteField>(kWord0, kDw0),
    Carry<PadConfigWord0::TriggerField, PadCfgDw0::RxEventConfigField>(kWord0, kDw0),
    Carry<PadConfigWord0::ResetDomainField, PadCfgDw0::PadResetField>(kWord0, kDw0),
    Carry<PadConfigWord1::Dw0Bit28Field, PadCfgDw0::Bit28Field>(kWord1, kDw0),
    Carry<PadConfigWord0::TerminationField, PadCfgDw1::TerminationField>(kWord0, kDw1),
    Carry<PadConfigWord0::Dw1Bit25Field, PadCfgDw1::Bit25Field>(kWord0, kDw1),
};

constexpr UINT32 WidthMask(UINT32 width) { return (1u << width) - 1; }

// DW0 (dword 0) or DW1 (dword 1) of the pad.
UINT16 PadDwordOffset(const PadLocation &pad, UINT32 dword) {
  return OffsetPlus(Dw0Offset(pad), dword * kPadCfgDw1Offset);
}

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
  UINT32 dwords[kPadDwordCount];
  for (UINT32 dword = 0; dword < kPadDwordCount; ++dword) {
    dwords[dword] = ReadCommunity(*pad.Row, PadDwordOffset(pad, dword));
  }
  const UINT32 hostSoftwareOwned = ReadPadBit(pad, pad.Row->HostSwOwn);
  const UINT32 configLocked = ReadPadBit(pad, pad.Row->PadCfgLock);
  const UINT32 outputLocked = ReadPadBit(pad, pad.Row->PadCfgLockTx);

  UINT32 words[] = {PadConfigWord0::OwnerField::Put(0, PadField(hostSoftwareOwned)),
                    PadConfigWord1::LockField::Put(0, kPadLockRequested |
                                                          (configLocked ? kPadLockConfig : 0) |
                                                          (outputLocked ? kPadLockOutput : 0))};
  for (const CarriedField &f : kCarriedFields) {
    const UINT32 value = (dwords[f.PadDword] >> f.HardwareLow) & WidthMask(f.HardwareWidth);
    words[f.ConfigWord] |= PadField(value) << f.ConfigLow;
  }
  config->Word0.SetRaw(words[kWord0]);
  // Word 1 keeps the caller's bits above the lock and DW0 bit 28 fields.
  config->Word1.SetLock(PadConfigWord1::LockField::Get(words[kWord1]))
      .SetDw0Bit28(PadConfigWord1::Dw0Bit28Field::Get(words[kWord1]));
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

  // Each configuration word is read, its present fields replaced, and written back: DW0 first.
  const UINT32 words[] = {word0.Raw(), word1.Raw()};
  for (UINT32 dword = 0; dword < kPadDwordCount; ++dword) {
    const UINT16 offset = PadDwordOffset(pad, dword);
    UINT32 value = ReadCommunity(*pad.Row, offset);
    for (const CarriedField &f : kCarriedFields) {
      const UINT32 field = (words[f.ConfigWord] >> f.ConfigLow) & WidthMask(f.HardwareWidth + 1);
      if (f.PadDword == dword && field != 0) {
        value = (value & ~(WidthMask(f.HardwareWidth) << f.HardwareLow)) |
                (PadFieldValue(field) << f.HardwareLow);
      }
    }
    WriteCommunity(*pad.Row, offset, value);
  }

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
