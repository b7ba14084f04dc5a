#include "sim/pei/ipmi_transport.h"

#include <cstring>

namespace sim {

namespace {
constexpr UINTN kTransportRevision = 1;
}

IpmiTransport::IpmiTransport(Bmc &bmc) : bmc_(bmc) {
  block_.ppi.Revision = kTransportRevision;
  block_.ppi.IpmiSubmitCommand = Submit;
  block_.owner = this;
}

IpmiResponse IpmiTransport::Answer(const IpmiRequest &request) {
  Bmc::Answer answer = bmc_.Exchange(request.net_function, request.lun, request.command,
                                     request.data.data(), request.data.size());
  if (answer.completion != Bmc::kCcOk) {
    return {EFI_DEVICE_ERROR, {}};
  }
  if (answer.data.size() > request.response_capacity) {
    return {EFI_BUFFER_TOO_SMALL, {}};
  }
  return {EFI_SUCCESS, std::move(answer.data)};
}

EFI_STATUS EFIAPI IpmiTransport::Submit(IPMI_TRANSPORT_PPI *self, UINT8 netFn, UINT8 lun,
                                        UINT8 command, UINT8 *request, UINT32 requestSize,
                                        UINT8 *response, UINT8 *responseSize) {
  if (self == nullptr || responseSize == nullptr || (request == nullptr && requestSize != 0)) {
    return EFI_INVALID_PARAMETER;
  }
  IpmiTransport &t = *reinterpret_cast<Block *>(self)->owner;
  IpmiRequest r{netFn, lun, command, {}, *responseSize};
  if (requestSize != 0) {
    r.data.assign(request, request + requestSize);
  }
  const IpmiResponse answer = t.Answer(r);
  if (EFI_ERROR(answer.status)) {
    return answer.status;
  }
  if (!answer.data.empty()) {
    if (response == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    std::memcpy(response, answer.data.data(), answer.data.size());
  }
  *responseSize = static_cast<UINT8>(answer.data.size());
  return EFI_SUCCESS;
}

} // namespace sim
