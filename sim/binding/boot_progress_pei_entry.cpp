#include "modules/boot_progress_pei/progress/callbacks.h"
#include "sim/binding/module_entries.h"

namespace sim {

EFI_PEIM_ENTRY_POINT2 BootProgressPeiEntryPoint() { return BootProgressPeiEntry; }

} // namespace sim
