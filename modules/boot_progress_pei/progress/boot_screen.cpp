// The two screen triggers: bring the controller up, then draw logo, banner, trough and a 1 % bar.
#include "modules/boot_progress_pei/graphics/graphics_enable.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/image/image_draw.h"
#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/notify_lists.h"
#include "modules/boot_progress_pei/progress/progress_bar.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "modules/boot_progress_pei/progress/progress_record.h"
#include "modules/boot_progress_pei/progress/screen_layout.h"
#include "uefi/ppi/stall.h"

namespace {
constexpr UINT16 kScreenUpPercent = 1;
// Settle time between opening the host decode window and touching the controller.
constexpr UINTN kHostWindowSettleUs = 1000;

EFI_STATUS ShowBootScreen(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *banner,
                          bool settleAfterWindow) {
  EFI_PEI_STALL_PPI *stall = nullptr;
  if (settleAfterWindow) {
    (*peiServices)
        ->LocatePpi(peiServices, &gEfiPeiStallPpiGuid, 0, nullptr,
                    reinterpret_cast<VOID **>(&stall));
  }
  OpenHostMmioWindow();
  // Without a stall PPI there is no way to wait; bring-up goes on at once.
  if (stall != nullptr) {
    stall->Stall(peiServices, stall, kHostWindowSettleUs);
  }

  GraphicsDeviceState device;
  EFI_STATUS status = EnableGraphicsController(&device, peiServices);
  // Later callbacks draw only over a screen that came up.
  ModuleState state = LoadModuleState(peiServices);
  state.ScreenUp = !EFI_ERROR(status);
  StoreModuleState(peiServices, state);
  if (EFI_ERROR(status)) {
    return status;
  }
  (*peiServices)->NotifyPpi(peiServices, ScreenNotifyList);

  UINT32 bottomMargin = 0;
  UINT32 leftMargin = 0;
  DrawImageFile(peiServices, &LogoImageGuid, &bottomMargin, &leftMargin, kLowPalette);
  bottomMargin = kBannerBottomMargin;
  leftMargin = kBannerLeftMargin;
  DrawImageFile(peiServices, banner, &bottomMargin, &leftMargin, kHighPalette);

  DrawProgressTrough(kFrameBufferBase);
  DrawProgressBar(kScreenUpPercent, kFrameBufferBase);

  ProgressRecord *record = nullptr;
  if (!EFI_ERROR(FindProgressRecord(peiServices, &record))) {
    record->Percent = kScreenUpPercent;
  }
  return EFI_SUCCESS;
}
} // namespace

BPP_NOTIFY_CALLBACK(ShowBootScreenA) {
  (void)notifyDescriptor;
  (void)ppi;
  return ShowBootScreen(peiServices, &BannerImageAGuid, true);
}

BPP_NOTIFY_CALLBACK(ShowBootScreenB) {
  (void)notifyDescriptor;
  (void)ppi;
  return ShowBootScreen(peiServices, &BannerImageBGuid, false);
}
