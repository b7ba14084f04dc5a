// The footer image, raised when the BMC address line is shown or the strap asks for it.
#pragma once

#include "uefi/pi_pei.h"

// 1 once the BMC address line has been drawn, 0 when no LAN channel gave an address.
extern UINT8 BmcAddressShown;

EFI_STATUS DrawFooterImage(const EFI_PEI_SERVICES **peiServices);
