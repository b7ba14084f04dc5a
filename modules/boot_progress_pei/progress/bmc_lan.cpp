#include "modules/boot_progress_pei/progress/bmc_lan.h"

#include "modules/boot_progress_pei/platform/text_format.h"

namespace {

// IPMI Get LAN Configuration Parameters: network function transport, LUN 0, command 0x02. The
// request is channel, parameter selector, set selector, block selector; the response as the
// transport hands it over starts after the completion code with the parameter revision.
constexpr UINT8 kNetFnTransport = 0x0C;
constexpr UINT8 kIpmiLun = 0;
constexpr UINT8 kCmdGetLanConfigParameters = 0x02;
constexpr UINT8 kParamSetInProgress = 0;
constexpr UINT8 kParamIpAddress = 3;
constexpr UINT32 kLanConfigRequestSize = 4;
constexpr UINT8 kChannelNumberMask = 0x0F;
constexpr UINT8 kSetInProgressMask = 0x03;      // 00: set complete; 01 set in progress; 10 commit
constexpr UINT8 kSetInProgressResponseSize = 2; // revision, state
constexpr UINT8 kIpAddressResponseSize = 5;     // revision, four address bytes

// One Get LAN Configuration Parameters exchange. A response shorter than `size` counts as a
// failed exchange: its missing bytes were never sent.
EFI_STATUS GetLanParameter(IPMI_TRANSPORT_PPI *ipmi, UINT8 channel, UINT8 parameter,
                           UINT8 *response, UINT8 size) {
  UINT8 request[kLanConfigRequestSize] = {channel, parameter, 0, 0};
  UINT8 received = size;
  const EFI_STATUS status =
      ipmi->IpmiSubmitCommand(ipmi, kNetFnTransport, kIpmiLun, kCmdGetLanConfigParameters, request,
                              kLanConfigRequestSize, response, &received);
  if (EFI_ERROR(status)) {
    return status;
  }
  return received < size ? EFI_DEVICE_ERROR : EFI_SUCCESS;
}

} // namespace

EFI_STATUS CheckLanSetComplete(IPMI_TRANSPORT_PPI *ipmi, UINT8 channel) {
  UINT8 response[kSetInProgressResponseSize] = {};
  const EFI_STATUS status =
      GetLanParameter(ipmi, static_cast<UINT8>(channel & kChannelNumberMask), kParamSetInProgress,
                      response, kSetInProgressResponseSize);
  if (EFI_ERROR(status)) {
    return status;
  }
  return (response[1] & kSetInProgressMask) != 0 ? EFI_NOT_READY : EFI_SUCCESS;
}

EFI_STATUS GetLanIpAddressText(IPMI_TRANSPORT_PPI *ipmi, UINT8 channel,
                               CHAR8 (&text)[kBmcAddressTextSize]) {
  UINT8 response[kIpAddressResponseSize] = {};
  const EFI_STATUS status =
      GetLanParameter(ipmi, channel, kParamIpAddress, response, kIpAddressResponseSize);
  if (!EFI_ERROR(status)) {
    FormatToBufferN(text, kBmcAddressTextSize, "%d.%d.%d.%d", response[1], response[2], response[3],
                    response[4]);
  }
  return status;
}

bool IsAddressNonZero(const CHAR8 (&text)[kBmcAddressTextSize]) {
  for (UINT32 i = 0; i < kBmcAddressTextSize && text[i] != 0; ++i) {
    if (text[i] != '.' && text[i] != '0') {
      return true;
    }
  }
  return false;
}
