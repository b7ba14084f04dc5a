#include "modules/boot_progress_pei/platform/sideband.h"

#include "access/register.h"
#include "modules/boot_progress_pei/platform/bounded_poll.h"
#include "modules/boot_progress_pei/platform/pch_family.h"
#include "modules/boot_progress_pei/platform/pch_regs.h"

namespace {

constexpr UINT8 kNoAnswer = 4; // response code kept when the interface never answered
constexpr UINT64 kLowOffsetMask = 0xFFFF;
constexpr UINT32 kExtendedOffsetShift = 16; // the extended register holds offset bits 47:16

// Waits for the busy bit to clear; *last gets the status that was read last.
EFI_STATUS WaitIdle(const Mmio16 &status, SbiStatus *last) {
  return PollUntil(kSidebandBusyPolls, [&] {
    *last = ReadRegister<SbiStatus>(status);
    return last->Busy() == 0;
  });
}

EFI_STATUS SendThroughRevealedBridge(uintptr_t bridge, UINT32 portId, UINT64 offset, UINT32 data,
                                     UINT8 *response) {
  const Mmio16 status{bridge + kSbiStatusOffset};
  SbiStatus last;
  if (EFI_ERROR(WaitIdle(status, &last))) {
    return EFI_DEVICE_ERROR;
  }
  *response = kNoAnswer;
  WriteRegister(Mmio32{bridge + kSbiAddressOffset},
                SbiAddress().SetPortId(portId).SetReserved(0).SetOffset(
                    static_cast<UINT32>(offset & kLowOffsetMask)));
  MmioWrite32(bridge + kSbiExtendedAddressOffset,
              static_cast<UINT32>(offset >> kExtendedOffsetShift));
  ModifyRegister<SbiStatus>(status, [](SbiStatus &s) {
    s.SetOpcode(SbiStatus::kOpcodeGpioLock).SetPosted(0); // a non-posted message
  });
  WriteRegister(Mmio16{bridge + kSbiRoutingOffset},
                SbiRouting().SetByteEnables(SbiRouting::kAllBytes).SetBar(0).SetFunctionId(0));
  MmioWrite32(bridge + kSbiDataOffset, data);
  ModifyRegister<SbiStatus>(status, [](SbiStatus &s) { s.SetBusy(1); });
  if (EFI_ERROR(WaitIdle(status, &last))) {
    return EFI_DEVICE_ERROR;
  }
  *response = static_cast<UINT8>(last.Response());
  return last.Response() == 0 ? EFI_SUCCESS : EFI_DEVICE_ERROR;
}

} // namespace

EFI_STATUS SendSidebandMessage(UINT32 portId, UINT64 offset, const UINT32 *data, UINT8 *response) {
  if (data == nullptr || response == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  const uintptr_t bridge = PchConfigAddress(kPchSidebandBridgeFunction);
  const bool hidden = MmioRead16(bridge + kPciVendorIdOffset) == kPciVendorIdNone;
  if (hidden) {
    MmioWrite8(bridge + kSidebandBridgeHideOffset, kSidebandBridgeRevealed);
  }
  const EFI_STATUS status = SendThroughRevealedBridge(bridge, portId, offset, *data, response);
  if (hidden) {
    MmioWrite8(bridge + kSidebandBridgeHideOffset, kSidebandBridgeHidden);
  }
  return status;
}
