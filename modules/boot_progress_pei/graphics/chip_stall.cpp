#include "modules/boot_progress_pei/graphics/chip_stall.h"

#include "uefi/ppi/stall.h"

namespace {
// Units for the whole start-up. The longest single wait, a PHY or test engine poll, runs to
// 5,000,001 reads; the rest leaves room for the slowest complying chip before it (every test 1 ms,
// ten attempts: about 4 million reads). At 1.3 us a read, and 1.75 us for the SCU's
// 1,000,000 key tries, the budget is at most about 8.3 s of waiting.
constexpr uint32_t kChipWaitBudget = 6'000'000;
} // namespace

void ChipStall(const EFI_PEI_SERVICES **peiServices, uint32_t microseconds) {
  EFI_PEI_STALL_PPI *stall = nullptr;
  (*peiServices)
      ->LocatePpi(peiServices, &gEfiPeiStallPpiGuid, 0, nullptr, reinterpret_cast<VOID **>(&stall));
  if (stall != nullptr) {
    stall->Stall(peiServices, stall, microseconds);
  }
}

bool ChargeChipWait(const GraphicsDeviceState *state, uint32_t units) {
  if (state->ChipWaitSpent > kChipWaitBudget - units) {
    state->ChipWaitSpent = kChipWaitBudget;
    return false;
  }
  state->ChipWaitSpent += units;
  return true;
}
