// Locking a pad's configuration or output: the lock registers are written through the sideband
// interface, which the PCH requires for them.
#include "modules/boot_progress_pei/platform/gpio_lock.h"

#include "modules/boot_progress_pei/platform/gpio_group_table.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"
#include "modules/boot_progress_pei/platform/sideband.h"

EFI_STATUS LockPadViaSideband(UINT32 kind, UINT32 padCode) {
  if (!PadMatchesPch(padCode)) {
    return EFI_UNSUPPORTED;
  }
  PadLocation pad;
  if (!FindPad(padCode, &pad)) {
    return EFI_INVALID_PARAMETER;
  }
  const GpioGroupRow &row = *pad.Row;
  const UINT32 offset = kind == kGroupPadCfgLock     ? row.PadCfgLock
                        : kind == kGroupPadCfgLockTx ? row.PadCfgLockTx
                                                     : 0;
  if (offset == kNoRegister) {
    return EFI_INVALID_PARAMETER;
  }
  const UINT32 index = pad.Number / kPadsPerBitRegister;
  const UINT16 reg = CommunityOffset(offset, index * kRegisterBytes);
  UINT32 current = 0;
  if ((kind == kGroupPadCfgLock || kind == kGroupPadCfgLockTx) &&
      EFI_ERROR(ReadGroupRegister(index, kind, pad.Group, &current))) {
    current = 0;
  }
  const UINT32 data = current | (1u << (pad.Number % kPadsPerBitRegister));
  UINT8 response = 0;
  return SendSidebandMessage(row.PortId, reg, &data, &response);
}
