// The server PCH's pad groups, and finding pads and group registers in them.
#include "modules/boot_progress_pei/platform/gpio_group_table.h"

#include "access/mmio.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"
#include "modules/boot_progress_pei/platform/pch_family.h"
#include "modules/boot_progress_pei/platform/pch_regs.h"

namespace {
constexpr UINT32 kNone = kNoRegister;

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

const GpioGroupRow GpioGroupTable[kServerPchGroupCount] = {
    // port PAD_OWN HOSTSW GPE_EN SMI_EN NMI_EN  LOCK  LOCKTX PAD_CFG pads
    {0xAF, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24}, // 0
    {0xAF, 0x2C, 0x84, 0x134, 0x154, 0x174, 0x68, 0x6C, 0x4C0, 24}, // 1
    {0xAE, 0x20, 0x80, 0x130, 0x150, 0x170, 0x60, 0x64, 0x400, 24}, // 2
    {0xAE, 0x2C, 0x84, 0x134, 0x154, 0x174, 0x68, 0x6C, 0x4C0, 24}, // 3
    {0xAE, 0x38, 0x88, 0x138, 0x158, 0x178, 0x70, 0x74, 0x580, 13}, // 4
    {0xAF, 0x38, 0x88, 0x138, kNone, kNone, 0x70, 0x74, 0x580, 24}, // 5
    {0x11, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24}, // 6
    {0x11, 0x2C, 0x84, 0x134, kNone, kNone, 0x68, 0x6C, 0x4C0, 24}, // 7
    {0xAC, 0x20, 0x80, 0x130, 0x150, 0x170, 0x60, 0x64, 0x400, 11}, // 8
    {0xAB, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24}, // 9
    {0xAB, 0x2C, 0x84, 0x134, kNone, kNone, 0x68, 0x6C, 0x4C0, 11}, // 10
    {0x11, 0x38, 0x88, 0x138, kNone, kNone, 0x70, 0x74, 0x580, 20}, // 11
    {0xAD, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 12}, // 12
};

const GpioGroupRow *GetGpioGroupTable(UINT32 *count) {
  if (IsServerPch() != kIsServerPchYes) {
    *count = 0;
    return nullptr;
  }
  *count = kServerPchGroupCount;
  return GpioGroupTable;
}

bool PadMatchesPch(UINT32 padCode) {
  const UINT32 family = GetPchFamily();
  return family != kPchFamilyUnknown && PadCodeChipsetField::Get(padCode) == family;
}

bool FindGroupPad(UINT32 group, UINT32 number, PadLocation *pad) {
  UINT32 count = 0;
  const GpioGroupRow *table = GetGpioGroupTable(&count);
  if (table == nullptr || group >= count || number >= table[group].PadCount) {
    return false;
  }
  *pad = {&table[group], group, number};
  return true;
}

bool FindPad(UINT32 padCode, PadLocation *pad) {
  return FindGroupPad(PadCodeGroupField::Get(padCode), PadCodeNumberField::Get(padCode), pad);
}

UINT32 ReadCommunity(const GpioGroupRow &row, UINT16 offset) {
  return MmioRead32(PchPcrAddress(row.PortId, offset));
}

void WriteCommunity(const GpioGroupRow &row, UINT16 offset, UINT32 value) {
  MmioWrite32(PchPcrAddress(row.PortId, offset), value);
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
  *value = ReadCommunity(row, CommunityOffset(offset, index * kRegisterBytes));
  return EFI_SUCCESS;
}
