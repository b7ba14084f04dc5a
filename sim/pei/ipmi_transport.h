// The platform's IPMI transport, as the board's BMC driver would provide it: each command goes to
// the BMC model and its answer becomes a status and the bytes after the completion code.
//   - completion code other than 0: EFI_DEVICE_ERROR, nothing handed back;
//   - an answer longer than the caller's buffer: EFI_BUFFER_TOO_SMALL, nothing handed back;
//   - otherwise EFI_SUCCESS and the answer's bytes.
// The board installs the PEI core's transport PPI and routes it here (PeiCore::ipmi), so host
// builds and image runs reach the BMC the same way. Ppi() is a stand-alone host PPI with the
// same behaviour, for callers without a core; it refuses a null size, or a null buffer for a
// non-empty request or answer, with EFI_INVALID_PARAMETER.
#pragma once

#include "sim/devices/bmc/bmc.h"
#include "sim/pei/pei_core.h"
#include "uefi/ppi/ipmi_transport.h"

namespace sim {

class IpmiTransport {
public:
  explicit IpmiTransport(Bmc &bmc);
  IpmiTransport(const IpmiTransport &) = delete;
  IpmiTransport &operator=(const IpmiTransport &) = delete;

  // One exchange with the BMC.
  IpmiResponse Answer(const IpmiRequest &request);

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
