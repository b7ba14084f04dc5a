#include "modules/boot_progress_pei/progress/bmc_address.h"

#include "modules/boot_progress_pei/image/image_draw.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"
#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/progress/address_strap.h"
#include "modules/boot_progress_pei/progress/screen_layout.h"

namespace {

constexpr UINT8 kLanChannel1 = 1;
constexpr UINT8 kLanChannel8 = 8;

// The channel's address into `text`; true when it is set and not 0.0.0.0.
bool ReadChannelAddress(IPMI_TRANSPORT_PPI *ipmi, UINT8 channel,
                        CHAR8 (&text)[kBmcAddressTextSize]) {
  return !EFI_ERROR(CheckLanSetComplete(ipmi, channel)) &&
         !EFI_ERROR(GetLanIpAddressText(ipmi, channel, text)) && IsAddressNonZero(text);
}

void DrawAddressImage(const EFI_PEI_SERVICES **peiServices, UINT8 code, UINT32 leftMargin) {
  const EFI_GUID *file = GlyphImageFor(code);
  if (file == nullptr) {
    return;
  }
  UINT32 bottomMargin = kAddressBottomMargin;
  DrawImageFile(peiServices, file, &bottomMargin, &leftMargin, kHighPalette);
}

void SetAddressShown(const EFI_PEI_SERVICES **peiServices, UINT8 shown) {
  ModuleState state = LoadModuleState(peiServices);
  state.BmcAddressShown = shown;
  StoreModuleState(peiServices, state);
}

} // namespace

BOOT_PHASE EFI_STATUS ShowBmcAddress(const EFI_PEI_SERVICES **peiServices) {
  CHAR8 text[kBmcAddressTextSize] = {};
  if (!ReadAddressStrap()) {
    return EFI_NOT_FOUND;
  }
  IPMI_TRANSPORT_PPI *ipmi = nullptr;
  if (EFI_ERROR((*peiServices)
                    ->LocatePpi(peiServices, &gIpmiTransportPpiGuid, 0, nullptr,
                                reinterpret_cast<VOID **>(&ipmi))) ||
      ipmi == nullptr) {
    DrawAddressImage(peiServices, kLabelNoTransportCode, kAddressLabelLeftMargin);
    return EFI_SUCCESS;
  }
  const bool foundOnChannel1 = ReadChannelAddress(ipmi, kLanChannel1, text);
  const bool foundOnChannel8 = !foundOnChannel1 && ReadChannelAddress(ipmi, kLanChannel8, text);
  if (!foundOnChannel1 && !foundOnChannel8) {
    SetAddressShown(peiServices, 0);
    return EFI_SUCCESS;
  }
  SetAddressShown(peiServices, 1);
  DrawAddressImage(peiServices, foundOnChannel1 ? kLabelLanChannel1Code : kLabelLanChannel8Code,
                   kAddressLabelLeftMargin);
  UINT32 leftMargin = kAddressFirstCharLeftMargin;
  for (UINT32 i = 0; i < kBmcAddressTextSize && text[i] != 0; ++i) {
    const UINT8 code = static_cast<UINT8>(text[i]);
    if (code < '.' || code > '9') {
      break;
    }
    DrawAddressImage(peiServices, code, leftMargin);
    leftMargin += kAddressCharPitch;
  }
  return EFI_SUCCESS;
}
