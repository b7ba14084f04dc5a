#include "modules/boot_progress_pei/graphics/graphics_enable.h"

#include "access/pci_config.h"
#include "access/port_io.h"
#include "modules/boot_progress_pei/graphics/bridge_discovery.h"
#include "modules/boot_progress_pei/graphics/chip_startup.h"
#include "modules/boot_progress_pei/graphics/extended_crtc.h"
#include "modules/boot_progress_pei/graphics/mode_programming.h"
#include "modules/boot_progress_pei/graphics/mode_tables.h"
#include "modules/boot_progress_pei/graphics/mode_timing.h"
#include "modules/boot_progress_pei/graphics/pci_regs.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/graphics/vga_ports.h"
#include "modules/boot_progress_pei/graphics/vga_regs.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
constexpr uint8_t kRootBus = 0;

constexpr uint8_t kFrameFill = 0; // the cleared screen: palette entry 0

constexpr uint8_t kScreenOff = SeqClockingModeRegister::ScreenOffField::kMask;

// Colour-mode I/O addresses, display memory on, clock 0, odd/even page high, negative syncs.
constexpr uint8_t BringUpMiscOutput() {
  VgaMiscOutputRegister misc;
  misc.SetColourIoAddress(1)
      .SetRamEnable(1)
      .SetOddEvenPageHigh(1)
      .SetHSyncNegative(1)
      .SetVSyncNegative(1);
  return misc.Raw();
}

void SetScreenOff(bool off) {
  VgaUpdate(kVgaSequencer, kSeqClockingMode, static_cast<uint8_t>(~kScreenOff),
            off ? kScreenOff : 0);
}

} // namespace

BOOT_PHASE_WITH_ARGUMENTS EFI_STATUS
EnableGraphicsController(GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices) {
  state->NextMmio = kMmioCursorStart;
  state->NextIo = kIoCursorStart;
  EFI_STATUS status = FindGraphicsBridge(state, peiServices, kRootBus);
  if (EFI_ERROR(status)) {
    return status;
  }
  state->Revision = PciRead8(state->Bus, state->Device, state->Function, kPciRevisionId);

  // VGA decoding on means bring-up has run before in this boot: the mode is set.
  const auto vgaEnable = VgaEnableRegister::From(IoRead8(kVgaEnablePort));
  if (vgaEnable.DecodeEnable() != 0) {
    return EFI_SUCCESS;
  }
  IoWrite8(kVgaEnablePort, VgaEnableRegister(vgaEnable).SetDecodeEnable(1).Raw());
  IoWrite8(kVgaMiscOutputWrite, BringUpMiscOutput());
  InitExtendedCrtc(state->Revision);

  status = StartController(state, peiServices);
  if (EFI_ERROR(status)) {
    // Without this, a later call would take the controller as running.
    IoWrite8(kVgaEnablePort, vgaEnable.Raw());
    return status;
  }

  SetScreenOff(true);
  SetBootScreenMode(*state);
  (*peiServices)
      ->SetMem(reinterpret_cast<VOID *>(static_cast<uintptr_t>(state->FrameBufferBase)),
               kFrameBufferSize, kFrameFill);
  SetScreenOff(false);
  return EFI_SUCCESS;
}
