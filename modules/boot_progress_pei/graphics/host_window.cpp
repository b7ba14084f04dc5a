#include "modules/boot_progress_pei/graphics/host_window.h"

#include "access/mmio.h"
#include "access/pci_config.h"
#include "access/port_io.h"
#include "modules/boot_progress_pei/graphics/host_decode_regs.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
// The configuration space takes 256 MiB (256 buses); the MMIO window starts right above it.
constexpr uint32_t kWindowOffsetFromConfigBase = 0x10000000;

// A read of the POST code port gives a posted configuration write time to settle.
constexpr uint16_t kBusDelayPort = 0x80;

uintptr_t HostBridgeRegister(uint32_t configBase, uint16_t reg) {
  return static_cast<uint32_t>(
      PciEcamAddress(configBase, kHostBridge.Bus, kHostBridge.Device, kHostBridge.Function, reg));
}
} // namespace

HostWindowSettings HostWindowFor(uint32_t configBase) {
  const uint32_t windowBase = configBase + kWindowOffsetFromConfigBase;
  MmioRuleRegister rule;
  rule.SetLimit(kHostWindowLimit >> MmioRuleRegister::kLimitShift)
      .SetBase(windowBase >> MmioRuleRegister::kBaseShift)
      .SetEnable(1);
  return {rule.Raw(), static_cast<uint16_t>(windowBase >> kHostMmioWindowShift),
          static_cast<uint16_t>(kHostWindowLimit >> kHostMmioWindowShift)};
}

BOOT_PHASE uint32_t OpenHostMmioWindow() {
  const PciLocation bridge = kHostBridge;
  const PciLocation rule = kMmioRuleDecoder;
  const uint32_t configBase =
      PciRead32(bridge.Bus, bridge.Device, bridge.Function, kHostConfigBase);
  // The window registers are written through this base: it must be a base configuration space
  // can have (256 MiB aligned, so all ones from an absent bridge is none) and where it answers,
  // the host bridge reading its own base back there. Anything else would send the two writes to
  // whatever decodes that address.
  if ((configBase & (kWindowOffsetFromConfigBase - 1)) != 0 ||
      MmioRead32(HostBridgeRegister(configBase, kHostConfigBase)) != configBase) {
    return 0;
  }

  PciWrite32(rule.Bus, rule.Device, rule.Function, kMmioRuleHigh, 0);
  const auto current =
      MmioRuleRegister::From(PciRead32(rule.Bus, rule.Device, rule.Function, kMmioRule));
  if (current.Enable() != 0) {
    return 0;
  }

  const HostWindowSettings settings = HostWindowFor(configBase);
  PciWrite32(rule.Bus, rule.Device, rule.Function, kMmioRule, settings.Rule);
  // The host bridge's window registers lie above 0x100: written through the configuration base
  // just read, not through the PCD's.
  MmioWrite16(HostBridgeRegister(configBase, kHostMmioWindowBase), settings.WindowBase);
  (void)IoRead8(kBusDelayPort);
  MmioWrite16(HostBridgeRegister(configBase, kHostMmioWindowLimit), settings.WindowLimit);
  (void)IoRead8(kBusDelayPort);
  return 0;
}
