// The boot screen's file lookup, worked out from the flash contents without bus cost: the volume
// scan (64 KiB steps from 0xFF000000 below 0xFFFF0000, "_FVH" and a length below 16 MiB), the
// first freeform file with the name, its raw section.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/devices/memory/flash.h"
#include "uefi/uefi_base.h"

namespace sim {

struct ImageLookup {
  bool found = false;   // a volume holds a freeform file with the name
  bool section = false; // and it has a raw section
  uint64_t volume = 0, file = 0, data = 0;
  std::vector<uint8_t> bytes; // the raw section's data
  std::string why_not;
};

ImageLookup LookUpImage(const FlashDevice &flash, const EFI_GUID &name);

} // namespace sim
