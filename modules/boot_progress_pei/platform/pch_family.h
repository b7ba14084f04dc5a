// Which PCH the board carries, from the device ID of its LPC/eSPI bridge (bus 0, device 31,
// function 0). A recognised family is kept in the module's state; an unrecognised PCH is
// classified again on every call.
#pragma once

#include "uefi/uefi_base.h"

constexpr UINT32 kPchFamilyServer = 1;
constexpr UINT32 kPchFamilyMobile = 2;
constexpr UINT32 kPchFamilyUnknown = 3;

constexpr UINT32 kIsServerPchYes = 1;
constexpr UINT32 kIsServerPchNo = 2;

// kPchFamilyServer, kPchFamilyMobile or kPchFamilyUnknown.
UINT32 GetPchFamily();
// kIsServerPchYes or kIsServerPchNo.
UINT32 IsServerPch();

// Memory address of the configuration space of bus 0, device 31, `function`.
UINT32 PchConfigAddress(UINT8 function);
