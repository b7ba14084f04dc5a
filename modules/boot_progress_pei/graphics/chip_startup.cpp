// The chip reports its start-up state in extended CRTC register 0xD0 (readable once the extended
// CRTC registers are unlocked): bits 7:6 both clear when nobody has started it, bit 6 set once it
// runs. Everything else goes through the register window
// (modules/boot_progress_pei/graphics/chip_window.h).
#include "modules/boot_progress_pei/graphics/chip_startup.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_stall.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"
#include "modules/boot_progress_pei/graphics/dram_controller.h"
#include "modules/boot_progress_pei/graphics/vga_ports.h"
#include "modules/boot_progress_pei/platform/bounded_poll.h"

namespace {
// Key writes and read-backs of SCU00 while opening the bus. A running chip takes the key at once;
// the strapped watchdog reset just triggered must also pass. A try costs 1.75 us: 1,000,000 tries
// are about 1.75 s, far beyond a chip reset.
constexpr uint32_t kScuUnlockTries = 1'000'000;

// Read-backs of SCU00 or MCR00 after their key was written once. The unlock takes effect at once;
// 1,000,000 reads are about 1.3 s.
constexpr uint32_t kUnlockPolls = 1'000'000;

// Polls of CRTC 0xD0 until the chip runs, one per millisecond. Right after our own start-up it
// runs at once; when the BMC is still starting the chip itself (bit 7 set, bit 6 clear) its own
// DRAM bring-up takes well under a second. 5000 polls are about 5.01 s.
constexpr PollBound kChipRunningPoll = {5000, 1000};

constexpr uint32_t kWatchdogResetStallUs = 10; // the watchdog expires and resets the chip

// What a read through the window returns when nothing decodes it (BAR1 not where the chip
// answers). The strap register never reads so: its high bits are reserved.
constexpr uint32_t kNothingAnswers = 0xFFFFFFFF;

constexpr ChipWrite kBusControllerSetup[] = {
    {AHBC00, kAhbcUnlockKey},
    {AHBC84, 0x00010000},
    {AHBC88, 0x00000000},
};

// The first watchdog, armed to reset the whole chip a few ticks after its restart.
constexpr ChipWrite kWatchdogReset[] = {
    {WDT1C, kWdtResetEverything},
    {WDT04, kWdtShortReload},
    {WDT08, kWdtRestartKey},
    {WDT0C, kWdtEnableWithReset},
};

bool ReadsUnlocked(uint32_t keyRegister, uint32_t mmio) {
  return AstRead32(keyRegister, mmio) == kKeyUnlocked;
}

// Writes `key` once and waits until the register reads unlocked.
EFI_STATUS Unlock(const GraphicsDeviceState *state, uint32_t keyRegister, uint32_t key) {
  const uint32_t mmio = state->MmioBase;
  AstWrite32(keyRegister, mmio, key);
  return ChipPollUntil(state, kUnlockPolls, [&] { return ReadsUnlocked(keyRegister, mmio); });
}

CrtcChipState ReadChipState() { return CrtcChipState::From(VgaRead(kVgaCrtc, kCrtcChipState)); }
} // namespace

EFI_STATUS PrepareAhbBus(const GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices) {
  const uint32_t mmio = state->MmioBase;
  AstWriteSequence(mmio, kBusControllerSetup);
  AstWrite32(SCU00, mmio, kScuUnlockKey);
  const uint32_t straps = AstRead32(SCU70, mmio);
  if (straps == kNothingAnswers) {
    return EFI_TIMEOUT; // no key would ever be taken: not worth a second of tries
  }
  if (ScuStraps::From(straps).WatchdogReset() != 0) {
    AstWriteSequence(mmio, kWatchdogReset);
    ChipStall(peiServices, kWatchdogResetStallUs);
  }
  // The key is written before every read: a reset chip has forgotten the earlier one.
  const EFI_STATUS unlocked = ChipPollUntil(state, kScuUnlockTries, [&] {
    AstWrite32(SCU00, mmio, kScuUnlockKey);
    return ReadsUnlocked(SCU00, mmio);
  });
  if (unlocked != EFI_SUCCESS) {
    return EFI_TIMEOUT;
  }
  AstWrite32(SCU7C, mmio, ScuStraps().SetWatchdogReset(1).Raw());
  return EFI_SUCCESS;
}

BOOT_PHASE EFI_STATUS StartController(GraphicsDeviceState *state,
                                      const EFI_PEI_SERVICES **peiServices) {
  const uint32_t mmio = state->MmioBase;
  if (ReadChipState().Started() == 0) {
    state->ChipWaitSpent = 0;
    EFI_STATUS status = PrepareAhbBus(state, peiServices);
    if (status == EFI_SUCCESS) {
      status = Unlock(state, SCU00, kScuUnlockKey);
    }
    if (status == EFI_SUCCESS) {
      status = Unlock(state, MCR00, kMcrUnlockKey);
    }
    if (status != EFI_SUCCESS) {
      return status;
    }
    AstModify32(SCU08, mmio, 0, kScu08StartupClocks);
    status = InitControllerDram(state, peiServices);
    if (status != EFI_SUCCESS) {
      return status;
    }
    AstWrite32(SCU40, mmio, kScu40StartupDone);
  }
  return PollUntil(peiServices, kChipRunningPoll, [] { return ReadChipState().Running() != 0; });
}
