// Milestone callbacks: redraw the bar at the milestone's percentage and record it; the IPMI and
// footer triggers draw the address line and the footer image. Without a screen that came up
// nothing is drawn (another device may decode the frame buffer's address); the record advances.
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/progress/bmc_address.h"
#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/footer.h"
#include "modules/boot_progress_pei/progress/progress_bar.h"
#include "modules/boot_progress_pei/progress/progress_record.h"

namespace {
EFI_STATUS AdvanceProgress(const EFI_PEI_SERVICES **peiServices, UINT16 percent) {
  if (ScreenIsUp(peiServices)) {
    DrawProgressBar(percent, kFrameBufferBase);
  }
  ProgressRecord *record = nullptr;
  if (!EFI_ERROR(FindProgressRecord(peiServices, &record))) {
    record->Percent = percent;
  }
  return EFI_SUCCESS;
}
} // namespace

#define BPP_MILESTONE(percent)                                                                     \
  BPP_NOTIFY_CALLBACK(OnProgress##percent) {                                                       \
    (void)notifyDescriptor;                                                                        \
    (void)ppi;                                                                                     \
    return AdvanceProgress(peiServices, percent);                                                  \
  }

BPP_MILESTONE(5)
BPP_MILESTONE(10)
BPP_MILESTONE(15)
BPP_MILESTONE(20)
BPP_MILESTONE(30)

BPP_NOTIFY_CALLBACK(OnIpmiTransportReady) {
  (void)notifyDescriptor;
  (void)ppi;
  if (ScreenIsUp(peiServices)) {
    ShowBmcAddress(peiServices);
  }
  return EFI_SUCCESS;
}

BPP_NOTIFY_CALLBACK(OnFooterTrigger) {
  (void)notifyDescriptor;
  (void)ppi;
  if (ScreenIsUp(peiServices)) {
    DrawFooterImage(peiServices);
  }
  return EFI_SUCCESS;
}
