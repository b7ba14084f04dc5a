#include "image/image_draw.h"

// Placeholder until image lookup lands: draws nothing.
EFI_STATUS DrawImageFile(const EFI_PEI_SERVICES **, const EFI_GUID *, uint32_t *, uint32_t *,
                         uint32_t) {
  return EFI_SUCCESS;
}
