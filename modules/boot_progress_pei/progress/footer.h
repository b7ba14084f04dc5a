// The footer image, raised when the BMC address line is shown or the strap asks for it.
#pragma once

#include "uefi/pi_pei.h"

EFI_STATUS DrawFooterImage(const EFI_PEI_SERVICES **peiServices);
