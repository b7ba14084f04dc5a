#include "modules/boot_progress_pei/platform/guid_hob.h"

namespace {
const EFI_HOB_GENERIC_HEADER *Header(const VOID *hob) {
  return static_cast<const EFI_HOB_GENERIC_HEADER *>(hob);
}
} // namespace

EFI_STATUS CreateGuidHob(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *name, UINT16 size,
                         VOID **hob) {
  VOID *made = nullptr;
  const EFI_STATUS status =
      (*peiServices)->CreateHob(peiServices, EFI_HOB_TYPE_GUID_EXTENSION, size, &made);
  if (EFI_ERROR(status)) {
    return status;
  }
  if (made == nullptr) {
    return EFI_OUT_OF_RESOURCES;
  }
  EFI_HOB_GUID_TYPE *guidHob = static_cast<EFI_HOB_GUID_TYPE *>(made);
  UINT8 *bytes = static_cast<UINT8 *>(made);
  for (UINTN i = sizeof(EFI_HOB_GUID_TYPE); i < guidHob->Header.HobLength; ++i) {
    bytes[i] = 0;
  }
  guidHob->Name = *name;
  *hob = made;
  return EFI_SUCCESS;
}

EFI_STATUS NextGuidHob(VOID **hob) {
  if (hob == nullptr || *hob == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  const UINT8 *cursor = static_cast<const UINT8 *>(*hob);
  for (;;) {
    const EFI_HOB_GENERIC_HEADER *h = Header(cursor);
    if (h->HobType == EFI_HOB_TYPE_END_OF_HOB_LIST ||
        h->HobLength < sizeof(EFI_HOB_GENERIC_HEADER)) {
      return EFI_NOT_FOUND;
    }
    cursor += h->HobLength;
    if (Header(cursor)->HobType == EFI_HOB_TYPE_GUID_EXTENSION) {
      *hob = const_cast<UINT8 *>(cursor);
      return EFI_SUCCESS;
    }
  }
}

EFI_STATUS FindGuidHob(const EFI_GUID *name, VOID **position) {
  if (name == nullptr || position == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  VOID *cursor = *position;
  for (;;) {
    EFI_STATUS status = NextGuidHob(&cursor);
    if (EFI_ERROR(status)) {
      return status;
    }
    if (GuidEquals(&static_cast<const EFI_HOB_GUID_TYPE *>(cursor)->Name, name)) {
      *position = cursor;
      return EFI_SUCCESS;
    }
  }
}
