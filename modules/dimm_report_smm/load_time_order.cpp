// The order of the load-time steps, as data: each step may rely on those before it.
#include "modules/dimm_report_smm/acpi_base.h"
#include "modules/dimm_report_smm/load_time_steps.h"
#include "modules/dimm_report_smm/pcd_access.h"
#include "modules/dimm_report_smm/processor_topology.h"
#include "modules/dimm_report_smm/smram_pool.h"
#include "modules/dimm_report_smm/tsc_frequency.h"

const LoadTimeStep LoadTimeSteps[] = {
    LocateSmmServices,           // SmmServices, needed by every SMM lookup and pool call
    FetchSmramMap,               // SmramRanges, for releasing pool by where it lives
    CapturePlatformSmmInterface, // first platform SMM interface
    ReadPciExpressBase,          // ECAM base, PCD token 5
    CacheHobList,                // fills the HOB-list cache
    EnableAcpiIoDecode,          // ACPI I/O block at 0x500, for the PM timer
    MeasureTscFrequency,         // against the PM timer
    CopyPcdPointer,              // PCD token 7
    BuildProcessorTopology,      // last: its status is the steps' status
};
const UINTN LoadTimeStepCount = sizeof(LoadTimeSteps) / sizeof(LoadTimeSteps[0]);
