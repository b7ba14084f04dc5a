// The BMC's IPv4 address line in the footer, read over IPMI.
#pragma once

#include "uefi/pi_pei.h"

// Draws the address line when the strap asks for it. EFI_NOT_FOUND when the strap is off.
EFI_STATUS ShowBmcAddress(const EFI_PEI_SERVICES **peiServices);
