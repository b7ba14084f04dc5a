#include "modules/boot_progress_pei/graphics/dram_phy.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_stall.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"

namespace {
// Reads of the busy bit per try. An initialisation finishes in a few reads; 5,000,000 reads take
// about 6.5 s. A PHY still busy after that is stuck: a second try would double the cost, so the
// first time-out ends the bring-up. Worst case about 6.5 s.
constexpr uint32_t kPhyBusyPolls = 5'000'000;

// Initialisations per call while the PHY reports an error. A PHY may report errors on its first
// initialisations after a reset; one that fails a thousand in a row will not come up. A failing
// try costs about 13.5 us (two reads, two writes, 10 us stall): about 13.5 ms in all.
constexpr uint32_t kPhyInitTries = 1000;

// Settling time between stopping the PHY and starting it again.
constexpr uint32_t kPhyRestartStallUs = 10;
} // namespace

EFI_STATUS InitDramPhy(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices) {
  const uint32_t mmio = state->MmioBase;
  const ChipRegister32 control{MCR60, mmio};
  AstWrite32(MCR60, mmio, kPhyStart);
  for (uint32_t tries = 1;; ++tries) {
    const EFI_STATUS idle = ChipPollUntil(
        state, kPhyBusyPolls, [&] { return ReadRegister<PhyControl>(control).Busy() == 0; });
    if (idle != EFI_SUCCESS) {
      return EFI_TIMEOUT;
    }
    if (!ReadRegister<PhyStatus>(ChipRegister32{MCR300, mmio}).InitFailed()) {
      AstWrite32(MCR60, mmio, kPhyFinish);
      return EFI_SUCCESS;
    }
    if (tries == kPhyInitTries) {
      return EFI_DEVICE_ERROR;
    }
    if (!ChargeChipWait(state, kPhyRestartStallUs)) {
      return EFI_TIMEOUT;
    }
    AstWrite32(MCR60, mmio, kPhyStop);
    ChipStall(peiServices, kPhyRestartStallUs);
    AstWrite32(MCR60, mmio, kPhyStart);
  }
}
