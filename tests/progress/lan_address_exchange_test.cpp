// The two IPMI exchanges behind the address line and the zero-address test, against a transport
// double that answers Get LAN Configuration Parameters from a table of parameters per channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "modules/boot_progress_pei/progress/bmc_address.h"

namespace {

// Answers netfn 0x0C command 0x02 with the bytes after the completion code that its table holds
// for (channel, parameter), cut to the caller's capacity; records every request.
struct LanTransport {
  IPMI_TRANSPORT_PPI ppi{}; // first: the module's `This` points here
  std::map<std::pair<UINT8, UINT8>, std::vector<UINT8>> parameters;
  EFI_STATUS failure = EFI_SUCCESS; // when an error, every exchange fails with it
  struct Request {
    UINT8 netFn, lun, command;
    std::vector<UINT8> data;
    UINT8 capacity;
  };
  std::vector<Request> requests;

  LanTransport() { ppi.IpmiSubmitCommand = Submit; }

  static EFI_STATUS EFIAPI Submit(IPMI_TRANSPORT_PPI *self, UINT8 netFn, UINT8 lun, UINT8 command,
                                  UINT8 *request, UINT32 requestSize, UINT8 *response,
                                  UINT8 *responseSize) {
    auto *t = reinterpret_cast<LanTransport *>(self);
    t->requests.push_back({netFn, lun, command, {request, request + requestSize}, *responseSize});
    if (EFI_ERROR(t->failure)) {
      return t->failure;
    }
    if (netFn != 0x0C || command != 0x02 || requestSize != 4) {
      return EFI_UNSUPPORTED;
    }
    auto it = t->parameters.find({request[0], request[1]});
    if (it == t->parameters.end()) {
      return EFI_DEVICE_ERROR; // the BMC answers with an error completion code
    }
    const size_t n = std::min<size_t>(it->second.size(), *responseSize);
    std::memcpy(response, it->second.data(), n);
    *responseSize = static_cast<UINT8>(n);
    return EFI_SUCCESS;
  }
};

constexpr UINT8 kRevision = 0x11;

TEST(LanSetComplete, AsksParameterZeroOfTheChannelsLowFourBits) {
  LanTransport bmc;
  bmc.parameters[{0x01, 0}] = {kRevision, 0x00};
  EXPECT_EQ(CheckLanSetComplete(&bmc.ppi, 0x81), EFI_SUCCESS);
  ASSERT_EQ(bmc.requests.size(), 1u);
  EXPECT_EQ(bmc.requests[0].netFn, 0x0C);
  EXPECT_EQ(bmc.requests[0].lun, 0);
  EXPECT_EQ(bmc.requests[0].command, 0x02);
  EXPECT_EQ(bmc.requests[0].data, (std::vector<UINT8>{0x01, 0, 0, 0}));
  EXPECT_EQ(bmc.requests[0].capacity, 2);
}

TEST(LanSetComplete, SetOrCommitInProgressIsNotReady) {
  LanTransport bmc;
  for (UINT8 state : {0x01, 0x02, 0x03, 0xFD}) {
    bmc.parameters[{1, 0}] = {kRevision, state};
    EXPECT_EQ(CheckLanSetComplete(&bmc.ppi, 1), EFI_NOT_READY) << int(state);
  }
  bmc.parameters[{1, 0}] = {kRevision, 0xFC}; // only bits 1:0 count
  EXPECT_EQ(CheckLanSetComplete(&bmc.ppi, 1), EFI_SUCCESS);
}

TEST(LanSetComplete, FailedOrShortExchangeFails) {
  LanTransport bmc;
  bmc.failure = EFI_TIMEOUT;
  EXPECT_EQ(CheckLanSetComplete(&bmc.ppi, 1), EFI_TIMEOUT);
  bmc.failure = EFI_SUCCESS;
  bmc.parameters[{1, 0}] = {kRevision}; // the state byte never came
  EXPECT_EQ(CheckLanSetComplete(&bmc.ppi, 1), EFI_DEVICE_ERROR);
}

TEST(LanIpAddress, FormatsTheFourAddressBytes) {
  LanTransport bmc;
  bmc.parameters[{8, 3}] = {kRevision, 192, 168, 0, 5};
  CHAR8 text[kBmcAddressTextSize] = {};
  EXPECT_EQ(GetLanIpAddressText(&bmc.ppi, 8, text), EFI_SUCCESS);
  EXPECT_STREQ(text, "192.168.0.5");
  EXPECT_EQ(bmc.requests.back().data, (std::vector<UINT8>{8, 3, 0, 0}));
  EXPECT_EQ(bmc.requests.back().capacity, 5);
  bmc.parameters[{8, 3}] = {kRevision, 255, 255, 255, 255};
  EXPECT_EQ(GetLanIpAddressText(&bmc.ppi, 8, text), EFI_SUCCESS);
  EXPECT_STREQ(text, "255.255.255.255"); // the longest address fills the buffer exactly
  bmc.parameters[{0x81, 3}] = {kRevision, 10, 1, 2, 3};
  EXPECT_EQ(GetLanIpAddressText(&bmc.ppi, 0x81, text), EFI_SUCCESS); // channel sent unchanged
  EXPECT_STREQ(text, "10.1.2.3");
}

// A response shorter than the address is a failed channel: the bytes that did not come are never
// formatted, and the text keeps what it held.
TEST(LanIpAddress, FailedOrShortAnswerLeavesTheTextAlone) {
  LanTransport bmc;
  CHAR8 text[kBmcAddressTextSize] = "1.2.3.4";
  for (size_t length = 0; length < 5; ++length) {
    bmc.parameters[{1, 3}] = std::vector<UINT8>{kRevision, 9, 9, 9, 9};
    bmc.parameters[{1, 3}].resize(length);
    EXPECT_EQ(GetLanIpAddressText(&bmc.ppi, 1, text), EFI_DEVICE_ERROR) << length;
    EXPECT_STREQ(text, "1.2.3.4") << length;
  }
  bmc.failure = EFI_NOT_READY;
  EXPECT_EQ(GetLanIpAddressText(&bmc.ppi, 1, text), EFI_NOT_READY);
  EXPECT_STREQ(text, "1.2.3.4");
}

TEST(AddressNonZero, OnlyDigitsOtherThanZeroCount) {
  const struct {
    const char *text;
    bool nonZero;
  } cases[] = {{"0.0.0.0", false}, {"", false},    {"0", false},      {"10.0.0.0", true},
               {"0.0.0.1", true},  {"...", false}, {"0.0.0.0x", true}};
  for (const auto &c : cases) {
    CHAR8 text[kBmcAddressTextSize] = {};
    std::strncpy(text, c.text, sizeof(text) - 1);
    EXPECT_EQ(IsAddressNonZero(text), c.nonZero) << c.text;
  }
  CHAR8 unterminated[kBmcAddressTextSize];
  std::memset(unterminated, '0', sizeof(unterminated));
  EXPECT_FALSE(IsAddressNonZero(unterminated)); // stops at the buffer's end
}

} // namespace
