#include "sim/devices/bmc/bmc.h"

namespace sim {

namespace {
constexpr size_t kLanConfigRequestLength = 4; // channel, parameter, set selector, block selector
constexpr uint8_t kChannelNumberMask = 0x0F;
constexpr uint8_t kChannelReservedMask = 0x70;
constexpr uint8_t kRevisionOnly = 0x80;
constexpr uint8_t kSetInProgressMask = 0x03;
constexpr size_t kRequestHeaderBytes = 2;  // network function and LUN, command
constexpr size_t kResponseHeaderBytes = 3; // network function and LUN, command, completion code
} // namespace

Bmc::Bmc(Bus &bus, const LanChannels &channels) : Device(bus, "bmc"), channels_(channels) {}

Bmc::Answer Bmc::Exchange(uint8_t netFn, uint8_t lun, uint8_t command, const uint8_t *request,
                          size_t length) {
  (void)lun; // the system interface routes every LUN to the BMC's own command handler
  Answer answer = Respond(netFn, command, request, length);
  // What reaches the host may be another answer (Bus::Answer): the completion code, the length and
  // every data byte.
  answer.completion =
      static_cast<uint8_t>(bus_.Answer({ReadPath::Ipmi, this, 0, 1}, answer.completion));
  answer.data.resize(bus_.Answer({ReadPath::Ipmi, this, 1, 1}, answer.data.size()));
  for (size_t i = 0; i < answer.data.size(); ++i) {
    answer.data[i] =
        static_cast<uint8_t>(bus_.Answer({ReadPath::Ipmi, this, 2 + i, 1}, answer.data[i]));
  }
  const size_t bytes = kRequestHeaderBytes + length + kResponseHeaderBytes + answer.data.size();
  bus_.GetClock().Advance(kAnswerNs + kByteNs * bytes);
  ++Counts().writes; // the request
  ++Counts().reads;  // the answer
  std::vector<uint8_t> logged;
  if (length != 0) {
    logged.assign(request, request + length);
  }
  log_.push_back({netFn, command, std::move(logged), answer, bus_.GetClock().NowUs()});
  return answer;
}

Bmc::Answer Bmc::Respond(uint8_t netFn, uint8_t command, const uint8_t *request,
                         size_t length) const {
  if (netFn != kNetFnTransport || command != kCmdGetLanConfig) {
    return {kCcInvalidCommand, {}};
  }
  if (length != kLanConfigRequestLength || request == nullptr) {
    return {kCcLengthInvalid, {}};
  }
  const uint8_t channelByte = request[0];
  const uint8_t parameter = request[1];
  auto it = channels_.find(channelByte & kChannelNumberMask);
  if ((channelByte & kChannelReservedMask) != 0 || it == channels_.end()) {
    return {kCcInvalidField, {}};
  }
  const LanChannel &lan = it->second;
  if (lan.fail) {
    return {kCcUnspecified, {}};
  }
  std::vector<uint8_t> data = {kParameterRevision};
  if ((channelByte & kRevisionOnly) == 0) {
    if (parameter == kParamSetInProgress) {
      data.push_back(lan.set_in_progress & kSetInProgressMask);
    } else if (parameter == kParamIpAddress) {
      data.insert(data.end(), lan.ip.begin(), lan.ip.end());
    } else {
      return {kCcParameterNotSupported, {}};
    }
    if (request[2] != 0 || request[3] != 0) {
      return {kCcInvalidField, {}}; // neither parameter takes a set or block selector
    }
  }
  if (lan.short_response) {
    data.pop_back();
  }
  return {kCcOk, data};
}

} // namespace sim
