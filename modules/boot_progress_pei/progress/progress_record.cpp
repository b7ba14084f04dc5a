#include "modules/boot_progress_pei/progress/progress_record.h"

#include "modules/boot_progress_pei/progress/progress_guids.h"

EFI_STATUS FindProgressRecord(const EFI_PEI_SERVICES **peiServices, ProgressRecord **record) {
  VOID *position = nullptr;
  EFI_STATUS status = (*peiServices)->GetHobList(peiServices, &position);
  if (EFI_ERROR(status)) {
    return status;
  }
  status = FindGuidHob(&ProgressRecordGuid, &position);
  if (!EFI_ERROR(status)) {
    *record = static_cast<ProgressRecord *>(position);
  }
  return status;
}
