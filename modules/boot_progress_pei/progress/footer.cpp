#include "modules/boot_progress_pei/progress/footer.h"

#include "modules/boot_progress_pei/image/image_draw.h"
#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/progress/address_strap.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "modules/boot_progress_pei/progress/screen_layout.h"

EFI_STATUS DrawFooterImage(const EFI_PEI_SERVICES **peiServices) {
  UINT32 bottomMargin = kFooterBottomMargin;
  UINT32 leftMargin = kFooterLeftMargin;
  if (LoadModuleState(peiServices).BmcAddressShown != 0 || ReadAddressStrap()) {
    bottomMargin = kFooterRaisedBottomMargin;
  }
  DrawImageFile(peiServices, &FooterImageGuid, &bottomMargin, &leftMargin, kHighPalette);
  return EFI_SUCCESS;
}
