// The platform's IPMI transport PPI, as the board's BMC driver would install it: each command
// goes to the BMC model; the bytes after the completion code come back in the caller's buffer.
//   - completion code other than 0: EFI_DEVICE_ERROR, nothing copied, size 0;
//   - an answer longer than the caller's buffer: EFI_BUFFER_TOO_SMALL, the buffer filled;
//   - a null size, or a null buffer for a non-empty request or answer: EFI_INVALID_PARAMETER.
#pragma once

#include "sim/devices/bmc/bmc.h"
#include "uefi/ppi/ipmi_transport.h"

namespace sim {

class IpmiTransport {
public:
  explicit IpmiTransport(Bmc &bmc);
  IpmiTransport(const IpmiTransport &) = delete;
  IpmiTransport &operator=(const IpmiTransport &) = delete;

  IPMI_TRANSPORT_PPI *Ppi() { return &block_.ppi; }

private:
  static EFI_STATUS EFIAPI Submit(IPMI_TRANSPORT_PPI *self, UINT8 netFn, UINT8 lun, UINT8 command,
                                  UINT8 *request, UINT32 requestSize, UINT8 *response,
                                  UINT8 *responseSize);
  struct Block {
    IPMI_TRANSPORT_PPI ppi; // first: callers hand back its address as `This`
    IpmiTransport *owner;
  } block_{};
  Bmc &bmc_;
};

} // namespace sim
