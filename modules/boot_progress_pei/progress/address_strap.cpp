// The address strap: a board pad sampled as a plain input, its own configuration restored after.
#include "modules/boot_progress_pei/progress/address_strap.h"

#include "modules/boot_progress_pei/platform/gpio.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"

namespace {

constexpr UINT32 kAddressStrapPad = MakePadCode(kChipsetServerPch, 6, 21);
static_assert(kAddressStrapPad == 0x01060015);

// While sampled: plain GPIO owned by host software, output buffer off and input buffer on, no
// inversion, output low, no interrupt routing (which also clears its GPE enable), reset
// configuration 01, no termination. Trigger and the two carried bits are absent, so they keep
// their values, and no lock is requested.
constexpr PadConfig StrapSampleConfig() {
  PadConfig config{};
  config.Word0.SetMode(PadField(0))
      .SetOwner(kPadOwnerHostSoftware)
      .SetBuffer(PadField(PadCfgDw0::kOutputBufferDisabled))
      .SetInvert(PadField(0))
      .SetTxState(PadField(0))
      .SetRoute(PadField(0))
      .SetResetDomain(PadField(1))
      .SetTermination(PadField(0));
  return config;
}
constexpr PadConfig kStrapSampleConfig = StrapSampleConfig();
static_assert(kStrapSampleConfig.Word0.Raw() == 0x02602AF1);
static_assert(kStrapSampleConfig.Word1.Raw() == 0);

} // namespace

bool ReadAddressStrap() {
  PadConfig saved{};
  if (EFI_ERROR(ReadPadConfig(kAddressStrapPad, &saved))) {
    return false; // nothing saved, so the pad is not touched: no address line
  }
  WritePadConfig(kAddressStrapPad, &kStrapSampleConfig);
  UINT32 input = 0;
  const EFI_STATUS status = ReadPadInput(kAddressStrapPad, &input);
  WritePadConfig(kAddressStrapPad, &saved);
  // Without an input state the strap counts as high: no address line.
  return !EFI_ERROR(status) && PadCfgDw0::RxStateField::Get(input) == 0;
}
