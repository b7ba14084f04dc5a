// The platform's IPMI transport PPI: its fourth pointer-sized field sends one IPMI command and
// returns the response bytes after the completion code.
#pragma once

#include "uefi/pi_pei.h"

inline constexpr EFI_GUID gIpmiTransportPpiGuid = {
    0x8122CEBD, 0xF4FD, 0x4EA8, {0x97, 0x6C, 0xF0, 0x03, 0xAD, 0xDC, 0x4C, 0xB4}};

struct IPMI_TRANSPORT_PPI;

using IPMI_SEND_COMMAND = EFI_STATUS(EFIAPI *)(IPMI_TRANSPORT_PPI *This, UINT8 NetFunction,
                                               UINT8 Lun, UINT8 Command, UINT8 *RequestData,
                                               UINT32 RequestDataSize, UINT8 *ResponseData,
                                               UINT8 *ResponseDataSize);

struct IPMI_TRANSPORT_PPI {
  UINTN Revision;
  VOID *Reserved1;
  VOID *Reserved2;
  IPMI_SEND_COMMAND IpmiSubmitCommand;
};
