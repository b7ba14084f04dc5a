#include "modules/dimm_report_smm/hob_list_lookup.h"

#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/module_global.h"

MODULE_GLOBAL VOID *HobListCache;

VOID *GetHobList() {
  if (HobListCache != nullptr) {
    return HobListCache;
  }
  if (SystemTable == nullptr || SystemTable->ConfigurationTable == nullptr) {
    return nullptr;
  }
  for (UINTN i = 0; i < SystemTable->NumberOfTableEntries; ++i) {
    const EFI_CONFIGURATION_TABLE &entry = SystemTable->ConfigurationTable[i];
    if (GuidEquals(&entry.VendorGuid, &gEfiHobListGuid)) {
      HobListCache = entry.VendorTable;
      return HobListCache;
    }
  }
  return nullptr;
}
