// The PPIs other platform components install during a simulated boot, by the names scenarios use.
// The GUIDs are the platform's own copies, so a test comparing them with the module's catches a
// mistyped GUID on either side.
#pragma once

#include <string>
#include <vector>

#include "uefi/uefi_base.h"

namespace sim {

struct NamedPpi {
  const char *name;
  EFI_GUID guid;
};

const std::vector<NamedPpi> &PlatformPpis();
// The GUID of a platform PPI by name, or null for an unknown name.
const EFI_GUID *PlatformPpiGuid(const std::string &name);
// "ProgressStart, ScreenA, ..." for error messages.
std::string PlatformPpiNameList();

} // namespace sim
