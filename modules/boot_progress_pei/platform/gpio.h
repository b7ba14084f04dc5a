// PCH GPIO pads: configuration, input level, ownership and lock state, and locking a pad's
// configuration through the sideband interface. Only the server PCH's group table is built in;
// on any other PCH every pad operation fails. Pad registers are reached as memory in the
// private configuration space (modules/boot_progress_pei/platform/pch_regs.h), 32 bits at a time.
#pragma once

#include "modules/boot_progress_pei/platform/pad_config.h"
#include "uefi/uefi_base.h"

// One pad group: the GPIO community's port ID, register offsets within it (kNoRegister when the
// group has no such register), the first pad configuration register and the pad count.
struct GpioGroupRow {
  UINT32 PortId;
  UINT32 PadOwn;
  UINT32 HostSwOwn;
  UINT32 GpiIs;
  UINT32 GpiIe;
  UINT32 GpiGpeSts;
  UINT32 GpiGpeEn;
  UINT32 GpiSmiSts;
  UINT32 GpiSmiEn;
  UINT32 GpiNmiSts;
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

// Fills `config` from the pad (word 0 whole, word 1 bits 4:0). EFI_UNSUPPORTED for another PCH
// or a pad the host does not own (or whose ownership cannot be read), EFI_INVALID_PARAMETER for
// a pad outside the table.
EFI_STATUS ReadPadConfig(UINT32 padCode, PadConfig *config);

// Programs the pad's present fields; with the same checks as ReadPadConfig, and
// EFI_WRITE_PROTECTED (writing nothing) when its configuration is locked. A requested lock is
// sent through the sideband interface afterwards, its result ignored.
EFI_STATUS WritePadConfig(UINT32 padCode, const PadConfig *config);

// Stores the input-state bit in place (0 or 2): shift it right by one for the level.
EFI_STATUS ReadPadInput(UINT32 padCode, UINT32 *input);

// Stores the pad's 2-bit owner (0: the host). No chipset check.
EFI_STATUS ReadPadOwnership(UINT32 padCode, UINT32 *owner);

// True when the pad's PADCFGLOCK bit is set; also for a pad outside the table, so that nothing
// is written to a pad that cannot be found.
bool IsPadConfigLocked(UINT32 group, UINT32 pad);

// Reads register `index` of kind `kind` (GpioGroupRegisterKind; any other kind reads offset 0
// of the community) of a group.
EFI_STATUS ReadGroupRegister(UINT32 index, UINT32 kind, UINT32 group, UINT32 *value);

// Sets the pad's bit in its lock register (kind 4: PADCFGLOCK, 5: PADCFGLOCKTX) with a sideband
// message; returns the message's status.
EFI_STATUS LockPadViaSideband(UINT32 kind, UINT32 padCode);
