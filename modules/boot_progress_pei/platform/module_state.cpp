#include "modules/boot_progress_pei/platform/module_state.h"

#include "modules/boot_progress_pei/platform/guid_hob.h"

namespace {
ModuleStateHob *FindStateHob(const EFI_PEI_SERVICES **peiServices) {
  VOID *position = nullptr;
  if (EFI_ERROR((*peiServices)->GetHobList(peiServices, &position)) ||
      EFI_ERROR(FindGuidHob(&ModuleStateHobGuid, &position))) {
    return nullptr;
  }
  return static_cast<ModuleStateHob *>(position);
}

bool IsAllZero(const ModuleState &state) {
  const UINT8 *bytes = reinterpret_cast<const UINT8 *>(&state);
  for (UINTN i = 0; i < sizeof(state); ++i) {
    if (bytes[i] != 0) {
      return false;
    }
  }
  return true;
}
} // namespace

ModuleState LoadModuleState(const EFI_PEI_SERVICES **peiServices) {
  if (peiServices != nullptr) {
    if (const ModuleStateHob *hob = FindStateHob(peiServices)) {
      return hob->State;
    }
  }
  return ModuleState{};
}

bool ScreenIsUp(const EFI_PEI_SERVICES **peiServices) {
  return LoadModuleState(peiServices).ScreenUp != 0;
}

EFI_STATUS StoreModuleState(const EFI_PEI_SERVICES **peiServices, const ModuleState &state) {
  if (peiServices == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  ModuleStateHob *hob = FindStateHob(peiServices);
  if (hob == nullptr) {
    if (IsAllZero(state)) {
      return EFI_SUCCESS; // an absent HOB already reads as this
    }
    VOID *made = nullptr;
    const EFI_STATUS status =
        (*peiServices)
            ->CreateHob(peiServices, EFI_HOB_TYPE_GUID_EXTENSION, sizeof(ModuleStateHob), &made);
    if (EFI_ERROR(status)) {
      return status;
    }
    if (made == nullptr) {
      return EFI_OUT_OF_RESOURCES;
    }
    hob = static_cast<ModuleStateHob *>(made);
    hob->Hob.Name = ModuleStateHobGuid;
  }
  hob->State = state;
  return EFI_SUCCESS;
}
