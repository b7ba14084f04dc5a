#include "modules/boot_progress_pei/graphics/bridge_discovery.h"

#include "access/pci_config.h"
#include "modules/boot_progress_pei/graphics/host_window.h"
#include "modules/boot_progress_pei/graphics/pci_regs.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"
#include "uefi/ppi/stall.h"

namespace {
// PCH root ports sit at device 28 of the root bus, one per function.
constexpr uint8_t kRootPortDevice = 28;
constexpr uint8_t kRootPortFunctions = 8;
constexpr uint8_t kBridgeDevice = 0;
constexpr uint8_t kBridgeFunction = 0;

// Configuration dword 0x00 of the display bridge: device 0x1150, vendor 0x1A03.
constexpr uint32_t kDisplayBridgeIdentity = 0x11501A03;

// After new bus numbers the link below needs time before it answers configuration cycles.
constexpr UINTN kBusNumberSettleUs = 1000;

constexpr uint32_t kBarFlagBits = PciBaseAddressRegister::FlagsField::kMask;
constexpr uint32_t kMemoryUnit = 1u << 20; // bridge memory windows: 1 MiB
constexpr uint32_t kIoUnit = 1u << 4;      // the BAR's flag bits make 16 bytes the least size

struct BusNumbers {
  uint8_t Primary;
  uint8_t Secondary;
  uint8_t Subordinate;
};
constexpr BusNumbers kNoBusNumbers = {0, 0, 0};

void SetBusNumbers(uint8_t bus, uint8_t device, uint8_t function, BusNumbers numbers) {
  PciWrite8(bus, device, function, kPciPrimaryBus, numbers.Primary);
  PciWrite8(bus, device, function, kPciSecondaryBus, numbers.Secondary);
  PciWrite8(bus, device, function, kPciSubordinateBus, numbers.Subordinate);
}

// Without a stall service bring-up goes on at once.
void Stall(const EFI_PEI_SERVICES **peiServices, const EFI_PEI_STALL_PPI *stall, UINTN us) {
  if (stall != nullptr) {
    stall->Stall(peiServices, stall, us);
  }
}

// Gives a root port function the path's bus numbers and looks for the display bridge below it;
// on a miss the function gets its bus numbers 0/0/0 back.
bool BridgeBehind(const EFI_PEI_SERVICES **peiServices, const EFI_PEI_STALL_PPI *stall,
                  uint8_t rootBus, uint8_t rootPort) {
  SetBusNumbers(rootBus, kRootPortDevice, rootPort, {rootBus, kBridgeBus, kVgaBus});
  Stall(peiServices, stall, kBusNumberSettleUs);
  if (PciRead32(kBridgeBus, kBridgeDevice, kBridgeFunction, kPciIdentity) ==
      kDisplayBridgeIdentity) {
    return true;
  }
  SetBusNumbers(rootBus, kRootPortDevice, rootPort, kNoBusNumbers);
  return false;
}

// The I/O, memory and bus-master enables, turned on or off together.
constexpr uint16_t kDecodeEnables =
    PciCommandRegister().SetIoSpace(1).SetMemorySpace(1).SetBusMaster(1).Raw();

// Sets the function's decode enables to `enables` (kDecodeEnables or 0).
void SetDecoding(uint8_t bus, uint8_t device, uint8_t function, uint16_t enables) {
  const uint16_t command = PciRead16(bus, device, function, kPciCommand);
  PciWrite16(bus, device, function, kPciCommand,
             static_cast<uint16_t>((command & ~kDecodeEnables) | enables));
}

// Hands out `step` bytes aligned to `step` from `*cursor`, below `end`, so that no two ranges
// overlap and none wraps. False, the cursor unchanged, when the BAR's `size` does not fit: a step
// that is not a power of two or smaller than the size is a BAR no real device has.
bool Allocate(uint32_t *cursor, uint32_t end, uint32_t size, uint32_t step, uint32_t *at) {
  const uint32_t base = (*cursor + step - 1) & ~(step - 1);
  if ((step & (step - 1)) != 0 || step < size || base < *cursor || base > end ||
      end - base < step) {
    return false;
  }
  *at = base;
  *cursor = base + step;
  return true;
}

// Sizes one BAR of the VGA function and hands it the next address of its kind. Its size goes to
// `*size` and what it now holds to `*bar` (the address with the flag bits first read from it),
// both 0 when the BAR is absent; EFI_OUT_OF_RESOURCES when it does not fit what is left. The
// register varies, so the port mechanism is named: every BAR lies below 0x100.
EFI_STATUS AssignDeviceBar(GraphicsDeviceState *state, uint16_t reg, uint32_t *size,
                           uint32_t *bar) {
  const uint32_t original = PciPortRead32(kVgaBus, kVgaDevice, kVgaFunction, reg);
  PciPortWrite32(kVgaBus, kVgaDevice, kVgaFunction, reg, kPciBarSizingPattern);
  *size = BarSize(PciPortRead32(kVgaBus, kVgaDevice, kVgaFunction, reg));
  *bar = 0;
  if (*size == 0) {
    return EFI_SUCCESS; // absent: keeps the all-ones just written and costs no address space
  }
  uint32_t at = 0;
  const bool fits =
      PciBaseAddressRegister::From(original).IoSpace() != 0
          ? Allocate(&state->NextIo, kIoCursorEnd, *size, IoCursorStep(*size), &at)
          : Allocate(&state->NextMmio, kHostWindowLimit, *size, MemoryCursorStep(*size), &at);
  if (!fits) {
    return EFI_OUT_OF_RESOURCES;
  }
  PciPortWrite32(kVgaBus, kVgaDevice, kVgaFunction, reg, at);
  *bar = at | (original & kBarFlagBits);
  return EFI_SUCCESS;
}

} // namespace

uint32_t BarSize(uint32_t readBack) {
  if (readBack == 0 || readBack == kPciBarSizingPattern) {
    return 0;
  }
  return ~(readBack & ~kBarFlagBits) + 1;
}

uint32_t MemoryCursorStep(uint32_t size) {
  return (size & (kMemoryUnit - 1)) != 0 ? (size & kMemoryUnit) + kMemoryUnit : size;
}

uint32_t IoCursorStep(uint32_t size) {
  return (size & (kIoUnit - 1)) != 0 ? (size & kIoUnit) + kIoUnit : size;
}

bool MemoryBarHolds(uint32_t bar, uint32_t size, uint32_t needed) {
  const auto value = PciBaseAddressRegister::From(bar);
  return value.IoSpace() == 0 && value.MemoryType() == PciBaseAddressRegister::kMemoryType32 &&
         size >= needed;
}

bool FrameBufferBarUsable(uint32_t bar0, uint32_t size) {
  return MemoryBarHolds(bar0, size, kFrameBufferSize) &&
         PciBaseAddressRegister::From(bar0).BaseAddress() == kFrameBufferBase;
}

BridgeWindows BridgeWindowsFor(uint32_t nextIo, uint32_t nextMmio) {
  // A base above its limit closes a window.
  constexpr uint8_t kClosedIoBase = 1u << kPciWindowFieldShift;
  constexpr uint16_t kClosedMemoryBase = 1u << kPciWindowFieldShift;
  BridgeWindows w = {kClosedIoBase, 0, kClosedMemoryBase, 0};
  if (nextIo != kIoCursorStart) {
    w.IoBase = static_cast<uint8_t>((kIoCursorStart >> kPciIoWindowShift) << kPciWindowFieldShift);
    w.IoLimit = static_cast<uint8_t>(((nextIo - 1) >> kPciIoWindowShift) << kPciWindowFieldShift);
  }
  if (nextMmio != kMmioCursorStart) {
    w.MemoryBase =
        static_cast<uint16_t>((kMmioCursorStart >> kPciMemoryWindowShift) << kPciWindowFieldShift);
    w.MemoryLimit =
        static_cast<uint16_t>(((nextMmio - 1) >> kPciMemoryWindowShift) << kPciWindowFieldShift);
  }
  return w;
}

EFI_STATUS AssignDeviceBars(GraphicsDeviceState *state) {
  // The BARs move below: nothing of the function decodes while they hold sizing patterns.
  SetDecoding(kVgaBus, kVgaDevice, kVgaFunction, 0);
  uint32_t sizes[kPciBarCount];
  uint32_t bars[kPciBarCount];
  for (uint16_t i = 0; i < kPciBarCount; ++i) {
    const EFI_STATUS status = AssignDeviceBar(
        state, static_cast<uint16_t>(kPciBar0 + i * kPciBarStride), &sizes[i], &bars[i]);
    if (EFI_ERROR(status)) {
      return status;
    }
  }
  // Drawing goes to the fixed frame-buffer address and the chip is reached through BAR1: a BAR0
  // elsewhere, too small or not a 32-bit memory BAR would send the screen clear and every draw
  // over whatever decodes there instead, and so would a BAR1 unable to hold the register window.
  // The addresses used are the ones assigned, not what the function reads back later.
  if (!FrameBufferBarUsable(bars[0], sizes[0]) ||
      !MemoryBarHolds(bars[1], sizes[1], kRegisterWindowSize)) {
    return EFI_UNSUPPORTED;
  }
  state->FrameBufferBase = PciBaseAddressRegister::From(bars[0]).BaseAddress();
  state->MmioBase = PciBaseAddressRegister::From(bars[1]).BaseAddress();
  SetDecoding(kVgaBus, kVgaDevice, kVgaFunction, kDecodeEnables);
  return EFI_SUCCESS;
}

void ProgramBridgeWindows(uint8_t bus, uint8_t device, uint8_t function,
                          const GraphicsDeviceState *state) {
  const BridgeWindows w = BridgeWindowsFor(state->NextIo, state->NextMmio);
  PciWrite8(bus, device, function, kPciIoBase, w.IoBase);
  PciWrite8(bus, device, function, kPciIoLimit, w.IoLimit);
  PciWrite16(bus, device, function, kPciMemoryBase, w.MemoryBase);
  PciWrite16(bus, device, function, kPciMemoryLimit, w.MemoryLimit);
  auto control =
      PciBridgeControlRegister::From(PciRead16(bus, device, function, kPciBridgeControl));
  control.SetVgaEnable(1);
  PciWrite16(bus, device, function, kPciBridgeControl, control.Raw());
  SetDecoding(bus, device, function, kDecodeEnables);
}

BOOT_PHASE EFI_STATUS FindGraphicsBridge(GraphicsDeviceState *state,
                                         const EFI_PEI_SERVICES **peiServices, uint8_t rootBus) {
  EFI_PEI_STALL_PPI *stall = nullptr;
  (*peiServices)
      ->LocatePpi(peiServices, &gEfiPeiStallPpiGuid, 0, nullptr, reinterpret_cast<VOID **>(&stall));

  uint8_t rootPort = 0;
  while (rootPort < kRootPortFunctions && !BridgeBehind(peiServices, stall, rootBus, rootPort)) {
    ++rootPort;
  }
  if (rootPort == kRootPortFunctions) {
    return EFI_NOT_FOUND;
  }

  SetBusNumbers(kBridgeBus, kBridgeDevice, kBridgeFunction, {kBridgeBus, kVgaBus, kVgaBus});
  Stall(peiServices, stall, kBusNumberSettleUs);

  // Nothing behind the bridge: every read of it would be all ones, down to the frame buffer's
  // address. Leave the function alone.
  if (PciRead16(kVgaBus, kVgaDevice, kVgaFunction, kPciVendorId) == kPciVendorIdNone) {
    return EFI_NOT_FOUND;
  }
  const EFI_STATUS status = AssignDeviceBars(state);
  if (EFI_ERROR(status)) {
    // Windows an earlier bring-up opened would still forward to BARs that have moved: with
    // their decoding off neither bridge forwards anything.
    SetDecoding(kBridgeBus, kBridgeDevice, kBridgeFunction, 0);
    SetDecoding(rootBus, kRootPortDevice, rootPort, 0);
    return status;
  }
  ProgramBridgeWindows(kBridgeBus, kBridgeDevice, kBridgeFunction, state);
  ProgramBridgeWindows(rootBus, kRootPortDevice, rootPort, state);

  state->Bus = kVgaBus;
  state->Device = kVgaDevice;
  state->Function = kVgaFunction;
  return EFI_SUCCESS;
}
