// Module entry and the start trigger: create the progress record and, on a normal boot, arm the
// screen and milestone notifications.
#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/notify_lists.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "modules/boot_progress_pei/progress/progress_record.h"

extern "C" EFI_STATUS EFIAPI BootProgressPeiEntry(EFI_PEI_FILE_HANDLE,
                                                  const EFI_PEI_SERVICES **peiServices) {
  (*peiServices)->NotifyPpi(peiServices, StartNotifyList);
  return EFI_SUCCESS;
}

BPP_NOTIFY_CALLBACK(OnProgressStart) {
  (void)notifyDescriptor;
  (void)ppi;
  VOID *hob = nullptr;
  EFI_STATUS status = CreateGuidHob(peiServices, &ProgressRecordGuid, sizeof(ProgressRecord), &hob);
  if (!EFI_ERROR(status)) {
    static_cast<ProgressRecord *>(hob)->Marker = kProgressRecordMarker;
  }

  EFI_BOOT_MODE bootMode = 0;
  status = (*peiServices)->GetBootMode(peiServices, &bootMode);
  if (EFI_ERROR(status)) {
    return status;
  }
  // No boot screen on S3 resume or in recovery: the record alone tells later phases we ran.
  if (bootMode == BOOT_ON_S3_RESUME || bootMode == BOOT_IN_RECOVERY_MODE) {
    return EFI_SUCCESS;
  }
  (*peiServices)->NotifyPpi(peiServices, MilestoneNotifyList);
  (*peiServices)->InstallPpi(peiServices, ProgressReadyPpiList);
  return EFI_SUCCESS;
}
