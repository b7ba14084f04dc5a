// The BMC's LAN configuration over IPMI (Get LAN Configuration Parameters): whether a channel's
// configuration is settled, and its IPv4 address as dotted decimal text.
#pragma once

#include "uefi/ppi/ipmi_transport.h"

// Dotted decimal IPv4 text: at most 15 characters and the terminator.
constexpr UINT32 kBmcAddressTextSize = 16;

// Asks the channel's Set In Progress parameter. The transport's error when the exchange fails,
// EFI_DEVICE_ERROR when the answer is too short to hold it, EFI_NOT_READY while a set or commit
// is in progress, else EFI_SUCCESS.
EFI_STATUS CheckLanSetComplete(IPMI_TRANSPORT_PPI *ipmi, UINT8 channel);

// Asks the channel's IP address and writes it into `text` as dotted decimal. The transport's
// error when the exchange fails and EFI_DEVICE_ERROR when the answer is too short to hold the
// address; `text` is then left as it was.
EFI_STATUS GetLanIpAddressText(IPMI_TRANSPORT_PPI *ipmi, UINT8 channel,
                               CHAR8 (&text)[kBmcAddressTextSize]);

// True when the text holds a character other than '.' and '0' (so not 0.0.0.0, not empty).
bool IsAddressNonZero(const CHAR8 (&text)[kBmcAddressTextSize]);
