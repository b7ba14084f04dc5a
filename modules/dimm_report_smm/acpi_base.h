// Load-time step: makes sure the PCH decodes the ACPI I/O block at its board address, so the PM
// timer is reachable.
#pragma once

#include "uefi/uefi_base.h"

// When ACPI I/O decode is off, sets the base to 0x500 and turns decode on; when it is on,
// writes nothing. Skipped without an ECAM base.
EFI_STATUS EnableAcpiIoDecode();
