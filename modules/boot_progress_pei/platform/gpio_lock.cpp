// Locking a pad's configuration or output: the lock registers are written through the sideband
// interface, which the PCH requires for them.
#include "modules/boot_progress_pei/platform/gpio.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"
#include "modules/boot_progress_pei/platform/pad_access.h"
#include "modules/boot_progress_pei/platform/sideband.h"

EFI_STATUS LockPadViaSideband(UINT32 kind, UINT32 padCode) {
  if (!PadMatchesPch(padCode)) {
    return EFI_UNSUPPORTED;
  }
  UINT32 count = 0;
  const GpioGroupRow *table = GetGpioGroupTable(&count);
  const UINT32 group = PadCodeGroupField::Get(padCode);
  if (table == nullptr || group >= count) {
    return EFI_INVALID_PARAMETER;
  }
  const GpioGroupRow &row = table[group];
  const UINT32 offset = kind == kGroupPadCfgLock     ? row.PadCfgLock
                        : kind == kGroupPadCfgLockTx ? row.PadCfgLockTx
                                                     : 0;
  const UINT32 pad = PadCodeNumberField::Get(padCode);
  if (offset == kNoRegister || pad >= row.PadCount) {
    return EFI_INVALID_PARAMETER;
  }
  const UINT32 index = pad / kPadsPerBitRegister;
  const UINT16 reg = static_cast<UINT16>(offset + index * kRegisterBytes);
  UINT32 current = 0;
  if ((kind == kGroupPadCfgLock || kind == kGroupPadCfgLockTx) &&
      EFI_ERROR(ReadGroupRegister(index, kind, group, &current))) {
    current = 0;
  }
  const UINT32 data = current | (1u << (pad % kPadsPerBitRegister));
  UINT8 response = 0;
  return SendSidebandMessage(row.PortId, reg, &data, &response);
}
