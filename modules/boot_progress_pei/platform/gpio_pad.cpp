// Pad configuration, input, ownership and lock state, through the GPIO community registers.
#include "modules/boot_progress_pei/platform/gpio.h"

#include "modules/boot_progress_pei/platform/gpio_group_table.h"
#include "modules/boot_progress_pei/platform/gpio_lock.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"

namespace {

UINT16 Dw0Offset(const PadLocation &pad) {
  return CommunityOffset(pad.Row->PadCfg, pad.Number * kPadCfgBytesPerPad);
}

// The register holding the pad's bit in a per-pad bit register bank, and the bit.
UINT16 BitRegisterOffset(UINT32 base, UINT32 pad) {
  return CommunityOffset(base, (pad / kPadsPerBitRegister) * kRegisterBytes);
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

// The pad's 2-bit owner, from its nibble in PAD_OWN.
UINT32 PadOwner(const PadLocation &pad) {
  const UINT16 offset =
      CommunityOffset(pad.Row->PadOwn, (pad.Number / kPadOwnPadsPerRegister) * kRegisterBytes);
  const UINT32 shift = (pad.Number % kPadOwnPadsPerRegister) * kPadOwnBitsPerPad;
  return (ReadCommunity(*pad.Row, offset) >> shift) & kPadOwnerMask;
}

// What the pad operations check first, in this order: a result buffer, the pad code's chipset
// against the detected PCH, the pad inside the table, host ownership. The configuration
// operations refuse a pad outside the table as one whose ownership cannot be read
// (EFI_UNSUPPORTED), and also a pad code for another chipset that a differently detected PCH
// family let through (EFI_INVALID_PARAMETER); reading the input refuses a pad outside the table
// as an invalid parameter.
enum PadUse : UINT8 { kPadInput, kPadConfiguration };

EFI_STATUS FindHostOwnedPad(UINT32 padCode, const void *buffer, PadUse use, PadLocation *pad) {
  if (buffer == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (!PadMatchesPch(padCode)) {
    return EFI_UNSUPPORTED;
  }
  if (!FindPad(padCode, pad)) {
    return use == kPadInput ? EFI_INVALID_PARAMETER : EFI_UNSUPPORTED;
  }
  if (PadOwner(*pad) != kPadOwnerHost) {
    return EFI_UNSUPPORTED;
  }
  if (use == kPadConfiguration && PadCodeChipsetField::Get(padCode) != kChipsetServerPch) {
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
  return CommunityOffset(Dw0Offset(pad), dword * kPadCfgDw1Offset);
}

} // namespace

EFI_STATUS ReadPadOwnership(UINT32 padCode, UINT32 *owner) {
  PadLocation pad;
  if (owner == nullptr || !FindPad(padCode, &pad)) {
    return EFI_INVALID_PARAMETER;
  }
  *owner = PadOwner(pad);
  return EFI_SUCCESS;
}

EFI_STATUS ReadPadInput(UINT32 padCode, UINT32 *input) {
  PadLocation pad;
  const EFI_STATUS status = FindHostOwnedPad(padCode, input, kPadInput, &pad);
  if (EFI_ERROR(status)) {
    return status;
  }
  *input = ReadCommunity(*pad.Row, Dw0Offset(pad)) & PadCfgDw0::RxStateField::kMask;
  return EFI_SUCCESS;
}

EFI_STATUS ReadPadConfig(UINT32 padCode, PadConfig *config) {
  PadLocation pad;
  const EFI_STATUS status = FindHostOwnedPad(padCode, config, kPadConfiguration, &pad);
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
  PadLocation pad;
  const EFI_STATUS status = FindHostOwnedPad(padCode, config, kPadConfiguration, &pad);
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
  PadLocation at;
  return !FindGroupPad(group, pad, &at) || ReadPadBit(at, at.Row->PadCfgLock) != 0;
}
