#include "sim/ffs.h"

namespace sim {

// Placeholder until the firmware-volume model lands: no volume holds any file.
EFI_STATUS FfsFindNextFile(Bus &, uint8_t, uint64_t, uint64_t *) { return EFI_NOT_FOUND; }

// Placeholder until the firmware-volume model lands: no file holds any section.
EFI_STATUS FfsFindSectionData(Bus &, uint8_t, uint64_t, uint64_t *) { return EFI_NOT_FOUND; }

} // namespace sim
