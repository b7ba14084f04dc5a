// Messages to the PCH's sideband ports through the primary-to-sideband bridge.
#pragma once

#include "uefi/uefi_base.h"

// Bound on each wait for the sideband interface to go idle, before and after a message, counted
// in reads of its status register. A message completes within microseconds; 0x100000 reads
// (about a second at ~1 us per configuration read) leave ample margin, where a stuck interface
// would otherwise hold the boot for minutes.
constexpr UINT32 kSidebandBusyPolls = 0x100000;

// Sends one GPIO-lock message writing `*data` to register `offset` of port `portId`. A hidden
// bridge is revealed for the message and hidden again on every path. *response is left alone
// when the interface was busy before the message, becomes 4 when it stayed busy after it, and
// otherwise takes the port's response code. EFI_SUCCESS when the port accepted the message;
// EFI_DEVICE_ERROR when the interface stayed busy or the port refused it.
EFI_STATUS SendSidebandMessage(UINT32 portId, UINT64 offset, const UINT32 *data, UINT8 *response);
