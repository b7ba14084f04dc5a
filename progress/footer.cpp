#include "progress/footer.h"

#include "image/image_draw.h"
#include "platform/module_state.h"
#include "progress/address_strap.h"
#include "progress/progress_guids.h"
#include "progress/screen_layout.h"

EFI_STATUS DrawFooterImage(const EFI_PEI_SERVICES **peiServices) {
  UINT32 bottomMargin = kFooterBottomMargin;
  UINT32 leftMargin = kFooterLeftMargin;
  if (LoadModuleState(peiServices).BmcAddressShown != 0 || ReadAddressStrap()) {
    bottomMargin = kFooterRaisedBottomMargin;
  }
  DrawImageFile(peiServices, &FooterImageGuid, &bottomMargin, &leftMargin, kHighPalette);
  return EFI_SUCCESS;
}
