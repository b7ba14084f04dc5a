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

EFI_STATUS EFIAPI IpmiTransport::Submit(IPMI_TRANSPORT_PPI *self, UINT8 netFn, UINT8 lun,
                                        UINT8 command, UINT8 *request, UINT32 requestSize,
                                        UINT8 *response, UINT8 *responseSize) {
  if (self == nullptr || responseSize == nullptr || (request == nullptr && requestSize != 0)) {
    return EFI_INVALID_PARAMETER;
  }
  IpmiTransport &t = *reinterpret_cast<Block *>(self)->owner;
  const Bmc::Answer answer = t.bmc_.Exchange(netFn, lun, command, request, requestSize);
  if (answer.completion != Bmc::kCcOk) {
    *responseSize = 0;
    return EFI_DEVICE_ERROR;
  }
  const size_t capacity = *responseSize;
  const size_t copied = answer.data.size() < capacity ? answer.data.size() : capacity;
  if (copied != 0 && response == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (copied != 0) {
    std::memcpy(response, answer.data.data(), copied);
  }
  *responseSize = static_cast<UINT8>(copied);
  return answer.data.size() > capacity ? EFI_BUFFER_TOO_SMALL : EFI_SUCCESS;
}

} // namespace sim
