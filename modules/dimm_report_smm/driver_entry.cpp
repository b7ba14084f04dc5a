#include "modules/dimm_report_smm/driver_entry.h"

#include "modules/dimm_report_smm/dimm_report.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/load_time_steps.h"
#include "modules/dimm_report_smm/module_global.h"
#include "modules/dimm_report_smm/smram_pool.h"

MODULE_GLOBAL JumpBuffer JumpContext;

// Resumption value of the exit: any non-zero value would do.
constexpr UINTN kExitResumeValue = ~static_cast<UINTN>(0);

extern "C" EFI_STATUS EFIAPI DriverEntry(EFI_HANDLE imageHandle, EFI_SYSTEM_TABLE *systemTable) {
  RunLoadTimeSteps(imageHandle, systemTable);
  DriverEntryStatus = EFI_LOAD_ERROR;
  if (SetJump(&JumpContext) == 0) {
    ExitDriver(DimmReportEntryPoint(imageHandle, systemTable));
  }
  // Resumed by ExitDriver; only module state is used from here on.
  if (EFI_ERROR(DriverEntryStatus)) {
    RunReleaseSteps();
  }
  return DriverEntryStatus;
}

VOID ExitDriver(EFI_STATUS status) {
  if (!EFI_ERROR(status) || EFI_ERROR(DriverEntryStatus)) {
    DriverEntryStatus = status;
  }
  LongJump(&JumpContext, kExitResumeValue);
}

VOID RunReleaseSteps() {
  // No map was allocated when the access protocol or the pool was missing.
  if (SmramRanges != nullptr) {
    ReleasePool(SmramRanges);
  }
}
