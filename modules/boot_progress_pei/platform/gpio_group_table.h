// The server PCH's GPIO group table and the lookups on it: which pad a pad code names, and the
// per-group registers. Pad registers are reached as memory in the private configuration space
// (modules/boot_progress_pei/platform/pch_regs.h), 32 bits at a time. On any other PCH there is
// no table, so every lookup fails.
#pragma once

#include "modules/boot_progress_pei/platform/pad_config.h"
#include "uefi/uefi_base.h"

// One pad group: the GPIO community's port ID, register offsets within it (kNoRegister when the
// group has no such register), the first pad configuration register and the pad count. The
// group's interrupt and status registers are not recorded: no operation uses them.
struct GpioGroupRow {
  UINT32 PortId;
  UINT32 PadOwn;
  UINT32 HostSwOwn;
  UINT32 GpiGpeEn;
  UINT32 GpiSmiEn;
  UINT32 GpiNmiEn;
  UINT32 PadCfgLock;
  UINT32 PadCfgLockTx;
  UINT32 PadCfg;
  UINT32 PadCount; // at most 32, so each per-pad bit register is a single register
};

constexpr UINT32 kServerPchGroupCount = 13;

extern const GpioGroupRow GpioGroupTable[kServerPchGroupCount];

// The group table and its row count on the server PCH; null and 0 on any other.
const GpioGroupRow *GetGpioGroupTable(UINT32 *count);

// True when the pad code's chipset id is the detected PCH family (never for an unknown PCH).
bool PadMatchesPch(UINT32 padCode);

// A pad found in the group table.
struct PadLocation {
  const GpioGroupRow *Row;
  UINT32 Group;
  UINT32 Number;
};

// Finds pad `number` of `group` in the group table; false when there is no table, or the group or
// pad number lies outside it.
bool FindGroupPad(UINT32 group, UINT32 number, PadLocation *pad);

// The same for the group and pad number of `padCode`; its chipset id is not checked.
bool FindPad(UINT32 padCode, PadLocation *pad);

// Offsets within a community are summed in 16 bits, as the private configuration space decodes
// them.
inline UINT16 CommunityOffset(UINT32 base, UINT32 delta) {
  return static_cast<UINT16>(base + delta);
}

// A 32-bit register of the group's community.
UINT32 ReadCommunity(const GpioGroupRow &row, UINT16 offset);
void WriteCommunity(const GpioGroupRow &row, UINT16 offset, UINT32 value);

// Reads register `index` of kind `kind` (GpioGroupRegisterKind; any other kind reads offset 0
// of the community) of a group. EFI_INVALID_PARAMETER for a group outside the table, a register
// the group does not have or an index beyond its pads.
EFI_STATUS ReadGroupRegister(UINT32 index, UINT32 kind, UINT32 group, UINT32 *value);
