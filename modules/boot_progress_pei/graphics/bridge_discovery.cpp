#include "modules/boot_progress_pei/graphics/bridge_discovery.h"

#include "access/pci_config.h"
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

void EnableDecoding(uint8_t bus, uint8_t device, uint8_t function) {
  auto command = PciCommandRegister::From(PciRead16(bus, device, function, kPciCommand));
  command.SetIoSpace(1).SetMemorySpace(1).SetBusMaster(1);
  PciWrite16(bus, device, function, kPciCommand, command.Raw());
}

// Sizes one BAR of the VGA function and hands it the next address of its kind. Returns its size,
// 0 when the BAR is absent.
uint32_t AssignDeviceBar(GraphicsDeviceState *state, uint16_t reg) {
  const auto original =
      PciBaseAddressRegister::From(PciRead32(kVgaBus, kVgaDevice, kVgaFunction, reg));
  const bool io = original.IoSpace() != 0;
  PciWrite32(kVgaBus, kVgaDevice, kVgaFunction, reg, kPciBarSizingPattern);
  const uint32_t size = BarSize(PciRead32(kVgaBus, kVgaDevice, kVgaFunction, reg));
  if (size == 0) {
    return 0; // absent: keeps the all-ones just written and costs no address space
  }
  if (io) {
    PciWrite32(kVgaBus, kVgaDevice, kVgaFunction, reg, state->NextIo);
    state->NextIo += IoCursorStep(size);
  } else {
    PciWrite32(kVgaBus, kVgaDevice, kVgaFunction, reg, state->NextMmio);
    state->NextMmio += MemoryCursorStep(size);
  }
  return size;
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

bool FrameBufferBarUsable(uint32_t bar0, uint32_t size) {
  const auto bar = PciBaseAddressRegister::From(bar0);
  return bar.IoSpace() == 0 && bar.MemoryType() == PciBaseAddressRegister::kMemoryType32 &&
         bar.BaseAddress() == kFrameBufferBase && size >= kFrameBufferSize;
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
  uint32_t frameBufferSize = 0;
  for (uint16_t i = 0; i < kPciBarCount; ++i) {
    const uint16_t reg = static_cast<uint16_t>(kPciBar0 + i * kPciBarStride);
    const uint32_t size = AssignDeviceBar(state, reg);
    if (reg == kPciBar0) {
      frameBufferSize = size;
    }
  }
  // Drawing goes to the fixed frame-buffer address: a BAR0 elsewhere, too small or not a 32-bit
  // memory BAR would send the screen clear and every draw over whatever decodes there instead.
  const uint32_t bar0 = PciRead32(kVgaBus, kVgaDevice, kVgaFunction, kPciBar0);
  if (!FrameBufferBarUsable(bar0, frameBufferSize)) {
    return EFI_UNSUPPORTED;
  }
  EnableDecoding(kVgaBus, kVgaDevice, kVgaFunction);
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
  EnableDecoding(bus, device, function);
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
    return status;
  }
  ProgramBridgeWindows(kBridgeBus, kBridgeDevice, kBridgeFunction, state);
  ProgramBridgeWindows(rootBus, kRootPortDevice, rootPort, state);

  state->Bus = kVgaBus;
  state->Device = kVgaDevice;
  state->Function = kVgaFunction;
  return EFI_SUCCESS;
}
