// Firmware file system searches of the PEI core over the volumes in the board's flash. Volume
// and file handles are physical addresses (of the volume header, of the file header); all flash
// reads go through the bus.
#pragma once

#include <cstdint>

#include "sim/core/bus.h"
#include "uefi/uefi_base.h"

namespace sim {

// Finds the next file of `searchType` after *fileHandle (0 starts at the first file).
EFI_STATUS FfsFindNextFile(Bus &bus, uint8_t searchType, uint64_t volumeHandle,
                           uint64_t *fileHandle);
// Finds the first section of `sectionType` in a file and returns the address of its data.
EFI_STATUS FfsFindSectionData(Bus &bus, uint8_t sectionType, uint64_t fileHandle,
                              uint64_t *sectionData);

} // namespace sim
