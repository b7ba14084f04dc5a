// EFI status values by their specification names, for scenarios and reports.
#pragma once

#include <optional>
#include <string>

#include "uefi/uefi_base.h"

namespace sim {

// "EFI_DEVICE_ERROR" for a known status, otherwise the number in hex.
std::string EfiStatusName(EFI_STATUS status);
std::optional<EFI_STATUS> EfiStatusFromName(const std::string &name);

} // namespace sim
