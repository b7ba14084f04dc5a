// Locking a pad's configuration or output through the PCH's sideband interface.
#pragma once

#include "uefi/uefi_base.h"

// Sets the pad's bit in its lock register (kind 4: PADCFGLOCK, 5: PADCFGLOCKTX) with a sideband
// message carrying the register's current value; returns the message's status.
// EFI_UNSUPPORTED for another PCH, EFI_INVALID_PARAMETER for a pad outside the table or a group
// without the register.
EFI_STATUS LockPadViaSideband(UINT32 kind, UINT32 padCode);
