// The BMC as the host's IPMI system interface reaches it: it answers Get LAN Configuration
// Parameters (network function 0x0C, command 0x02) for parameter 0 (set in progress) and
// parameter 3 (IP address) of the LAN channels it has, and checks each request as a BMC does:
//   - another command: completion code 0xC1 (invalid command);
//   - request data other than 4 bytes: 0xC7 (request data length invalid);
//   - a channel it does not have, reserved channel bits set, or a set or block selector other
//     than 0: 0xCC (invalid data field);
//   - another parameter: 0x80 (parameter not supported);
//   - a channel configured to fail: 0xFF (unspecified error).
// An answer is the completion code and the parameter revision (0x11) followed by the parameter's
// data; bit 7 of the channel byte asks for the revision alone. A channel configured with a short
// response drops the last byte of its answers.
// Time: every exchange moves its bytes through the system interface one handshake at a time.
// Assumed (not measured): 200 us for the BMC's firmware to build the answer and 40 us per byte in
// either direction (the network function and command, the request data; the network function,
// command and completion code, the answer's data), charged to the board's virtual clock.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "sim/core/bus.h"

namespace sim {

class Bmc : public Device {
public:
  static constexpr uint8_t kNetFnTransport = 0x0C;
  static constexpr uint8_t kCmdGetLanConfig = 0x02;
  static constexpr uint8_t kParamSetInProgress = 0;
  static constexpr uint8_t kParamIpAddress = 3;
  static constexpr uint8_t kParameterRevision = 0x11;
  static constexpr uint8_t kCcOk = 0x00;
  static constexpr uint8_t kCcParameterNotSupported = 0x80;
  static constexpr uint8_t kCcInvalidCommand = 0xC1;
  static constexpr uint8_t kCcLengthInvalid = 0xC7;
  static constexpr uint8_t kCcInvalidField = 0xCC;
  static constexpr uint8_t kCcUnspecified = 0xFF;
  static constexpr uint64_t kAnswerNs = 200'000;
  static constexpr uint64_t kByteNs = 40'000;

  struct LanChannel {
    std::array<uint8_t, 4> ip{};
    uint8_t set_in_progress = 0; // 0 complete, 1 set in progress, 2 commit write
    bool fail = false;
    bool short_response = false;
  };
  using LanChannels = std::map<uint8_t, LanChannel>;

  Bmc(Bus &bus, const LanChannels &channels);

  struct Answer {
    uint8_t completion;
    std::vector<uint8_t> data; // after the completion code
  };
  // One request/response exchange; charges its virtual time.
  Answer Exchange(uint8_t netFn, uint8_t lun, uint8_t command, const uint8_t *request,
                  size_t length);

  struct Logged {
    uint8_t netfn, command;
    std::vector<uint8_t> request;
    Answer answer;
    double t_us; // when the answer was complete
  };
  // Every exchange since power-on (kept across Reset, like the counts).
  const std::vector<Logged> &Exchanges() const { return log_; }
  const LanChannels &Channels() const { return channels_; }

  // The BMC keeps no state the host can change: a reset leaves its LAN configuration as it is.
  void Reset() override {}

private:
  Answer Respond(uint8_t netFn, uint8_t command, const uint8_t *request, size_t length) const;

  LanChannels channels_;
  std::vector<Logged> log_;
};

} // namespace sim
