// The PCH's primary-to-sideband bridge, bus 0 device 31 function 1. Software sends messages to
// the PCH's sideband ports through its sideband interface registers:
//   0xD0  32-bit  port ID (31:24) and register offset bits 15:0
//   0xD4  32-bit  data
//   0xD8  16-bit  opcode (15:8), posted (7), response status (2:1, read-only), busy (0): writing
//                 1 to busy starts the message; the bridge clears it when the port has answered
//   0xDA  16-bit  byte enables (15:12), BAR (10:8), function (7:0)
//   0xDC  32-bit  register offset bits 47:16
//   0xE1  8-bit   bit 0 hides the bridge
// A message stays busy for a number of status reads (the scenario's busy_reads), then the bridge
// delivers it to the port's endpoint and reports the endpoint's status; a port nobody answers
// gives status 1. A scenario can make the interface hang (a started message never completes) or
// make every port refuse with a given status.
// While hidden, the whole configuration space reads all ones and ignores writes, except the
// hide register, which still takes them (that is how firmware reveals it).
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "sim/devices/pci/pci_bus.h"
#include "sim/devices/pci/pci_function.h"

namespace sim {

// One sideband message as a port receives it.
struct SidebandRequest {
  uint8_t port;
  uint8_t opcode;
  bool posted;
  uint64_t offset; // 48 bits
  uint32_t data;
  uint8_t byte_enables;
  uint8_t bar;
  uint8_t function;
};

// A sideband port: answers a message with a status (0 accepted, 1 unsuccessful).
class SidebandEndpoint {
public:
  virtual ~SidebandEndpoint() = default;
  virtual uint8_t SidebandMessage(const SidebandRequest &request) = 0;
};

class P2sb : public PciFunction {
public:
  static constexpr uint8_t kDevice = 31;
  static constexpr uint8_t kFunction = 1;
  static constexpr uint16_t kAddressReg = 0xD0;
  static constexpr uint16_t kDataReg = 0xD4;
  static constexpr uint16_t kStatusReg = 0xD8;
  static constexpr uint16_t kRoutingReg = 0xDA;
  static constexpr uint16_t kExtendedAddressReg = 0xDC;
  static constexpr uint16_t kHideReg = 0xE1;
  static constexpr uint16_t kStatusBusy = 1u << 0;
  static constexpr unsigned kStatusResponseShift = 1;
  static constexpr uint16_t kStatusResponseMask = 3u << kStatusResponseShift;
  static constexpr uint8_t kHidden = 1u << 0;
  static constexpr uint8_t kStatusUnsuccessful = 1;

  struct Behaviour {
    bool hidden = true;      // hidden at power-on
    uint32_t busy_reads = 2; // status reads that still show busy after a message starts
    bool stuck = false;      // a started message never completes
    uint8_t status = 0;      // non-zero: every port refuses with this status
  };

  P2sb(Bus &bus, PciBus &bus0, const Behaviour &behaviour);

  void AddEndpoint(uint8_t port, SidebandEndpoint *endpoint) { endpoints_[port] = endpoint; }
  bool Hidden() const;
  bool Busy() const { return busy_; }

  struct Delivered {
    SidebandRequest request;
    uint8_t status;
  };
  // Messages delivered since power-on (kept across Reset, like the counts).
  const std::vector<Delivered> &Messages() const { return messages_; }
  // Values written to the hide register, in order.
  const std::vector<uint8_t> &HideWrites() const { return hide_writes_; }

  void Reset() override;

private:
  uint64_t StatusRead(uint64_t stored);
  void StatusWritten(uint64_t before, uint64_t after);
  void Complete();

  Behaviour behaviour_;
  std::map<uint8_t, SidebandEndpoint *> endpoints_;
  bool busy_ = false;
  uint32_t reads_left_ = 0;
  std::vector<Delivered> messages_;
  std::vector<uint8_t> hide_writes_;
};

} // namespace sim
