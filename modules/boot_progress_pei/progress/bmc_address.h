// The BMC's IPv4 address line in the footer, read over IPMI (Get LAN Configuration Parameters)
// from LAN channel 1, else LAN channel 8, and drawn from glyph images.
#pragma once

#include "modules/boot_progress_pei/progress/bmc_lan.h"
#include "uefi/pi_pei.h"

// Draws the address line when the strap asks for it. EFI_NOT_FOUND when the strap is off, else
// EFI_SUCCESS.
EFI_STATUS ShowBmcAddress(const EFI_PEI_SERVICES **peiServices);
