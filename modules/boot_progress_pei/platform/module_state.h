// The module's run-time state. The module executes in place from flash, where a global it writes
// is lost, so what must outlive one call lives in a GUID HOB of its own: found through the
// services pointer each time, created on the first write that is not all zero. An absent HOB
// reads as all zero, so every field is encoded with 0 meaning "nothing known yet".
#pragma once

#include "uefi/pi_hob.h"
#include "uefi/pi_pei.h"

inline constexpr EFI_GUID ModuleStateHobGuid = {
    0x7A812886, 0x4E26, 0x4EB3, {0x86, 0x2A, 0xCF, 0x7E, 0x7F, 0xAF, 0x39, 0x03}};

struct ModuleState {
  UINT8 BmcAddressShown; // 1 once the BMC address line is drawn, 0 when no LAN channel gave one
  UINT8 PchFamily;       // the recognised PCH family (1 server, 2 mobile); 0 not yet known
  UINT8 ServerPch;       // 1 once the server PCH has been recognised; 0 not yet known
  UINT8 ScreenUp;        // 1 while the last bring-up succeeded: something decodes the frame buffer
  UINT8 Reserved[4];     // keeps the HOB a multiple of 8 bytes long
};

struct ModuleStateHob {
  EFI_HOB_GUID_TYPE Hob; // type 0x0004, name ModuleStateHobGuid
  ModuleState State;
};
static_assert(sizeof(ModuleStateHob) == 32);

// The state in the HOB list; all zero when there is no state HOB or no services pointer.
ModuleState LoadModuleState(const EFI_PEI_SERVICES **peiServices);

// Whether the last bring-up left a screen to draw on: without one, nothing may be drawn at the
// frame buffer's address or loaded into the palette (another device may decode them).
bool ScreenIsUp(const EFI_PEI_SERVICES **peiServices);

// Writes the state into its HOB, creating the HOB when the state is not all zero. Fails with
// EFI_INVALID_PARAMETER without a services pointer, or with CreateHob's status when HOB memory is
// full; the state then stays as it was.
EFI_STATUS StoreModuleState(const EFI_PEI_SERVICES **peiServices, const ModuleState &state);
