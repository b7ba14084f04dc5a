// PCH GPIO pads: configuration, input level, ownership and lock state. Pads are found in the
// group table (modules/boot_progress_pei/platform/gpio_group_table.h), which only the server PCH
// has: on any other PCH every pad operation fails. A requested lock goes through the sideband
// interface (modules/boot_progress_pei/platform/gpio_lock.h).
#pragma once

#include "modules/boot_progress_pei/platform/pad_config.h"
#include "uefi/uefi_base.h"

// Fills `config` from the pad (word 0 whole, word 1 bits 4:0). EFI_INVALID_PARAMETER without a
// buffer; EFI_UNSUPPORTED for another PCH, a pad outside the table (its ownership cannot be
// read) or a pad the host does not own.
EFI_STATUS ReadPadConfig(UINT32 padCode, PadConfig *config);

// Programs the pad's present fields; with the same checks as ReadPadConfig, and
// EFI_WRITE_PROTECTED (writing nothing) when its configuration is locked. A requested lock is
// sent through the sideband interface afterwards, its result ignored.
EFI_STATUS WritePadConfig(UINT32 padCode, const PadConfig *config);

// Stores the input-state bit in place (0 or 2): shift it right by one for the level.
// EFI_UNSUPPORTED for another PCH or a pad the host does not own, EFI_INVALID_PARAMETER without
// a result or for a pad outside the table.
EFI_STATUS ReadPadInput(UINT32 padCode, UINT32 *input);

// Stores the pad's 2-bit owner (0: the host). No chipset check; EFI_INVALID_PARAMETER for a pad
// outside the table.
EFI_STATUS ReadPadOwnership(UINT32 padCode, UINT32 *owner);

// True when the pad's PADCFGLOCK bit is set; also for a pad outside the table, so that nothing
// is written to a pad that cannot be found.
bool IsPadConfigLocked(UINT32 group, UINT32 pad);
