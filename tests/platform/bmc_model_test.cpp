// The BMC model's answers and the transport PPI in front of it: completion codes for requests a
// BMC refuses, the parameters it knows, how the transport turns them into statuses, and the
// virtual time each exchange costs.
#include <gtest/gtest.h>

#include <vector>

#include "sim/core/machine.h"
#include "sim/devices/bmc/bmc.h"
#include "sim/pei/ipmi_transport.h"

namespace {

struct BmcFixture {
  BmcFixture() {
    sim::Bmc::LanChannels lan;
    lan[1] = {{10, 1, 2, 3}, 1, false, false};
    lan[8] = {{192, 168, 0, 5}, 0, false, true};
    lan[3] = {{1, 1, 1, 1}, 0, true, false};
    bmc = std::make_unique<sim::Bmc>(m.bus, lan);
  }
  sim::Bmc::Answer Ask(std::vector<uint8_t> request, uint8_t netFn = 0x0C, uint8_t cmd = 0x02) {
    return bmc->Exchange(netFn, 0, cmd, request.data(), request.size());
  }

  sim::Machine m;
  std::unique_ptr<sim::Bmc> bmc;
};

TEST(BmcModel, RefusesRequestsABmcRefuses) {
  BmcFixture f;
  const struct {
    std::vector<uint8_t> request;
    uint8_t netFn, cmd, completion;
  } cases[] = {
      {{1, 3, 0, 0}, 0x06, 0x02, 0xC1},    // another network function
      {{1, 3, 0, 0}, 0x0C, 0x01, 0xC1},    // Set LAN Configuration Parameters: not answered
      {{1, 3, 0}, 0x0C, 0x02, 0xC7},       // short request
      {{1, 3, 0, 0, 0}, 0x0C, 0x02, 0xC7}, // long request
      {{2, 3, 0, 0}, 0x0C, 0x02, 0xCC},    // a channel it does not have
      {{0x11, 3, 0, 0}, 0x0C, 0x02, 0xCC}, // reserved channel bits
      {{1, 4, 0, 0}, 0x0C, 0x02, 0x80},    // a parameter it does not answer
      {{1, 3, 1, 0}, 0x0C, 0x02, 0xCC},    // set selector
      {{1, 0, 0, 1}, 0x0C, 0x02, 0xCC},    // block selector
      {{3, 3, 0, 0}, 0x0C, 0x02, 0xFF},    // a channel configured to fail
  };
  for (const auto &c : cases) {
    const sim::Bmc::Answer a = f.Ask(c.request, c.netFn, c.cmd);
    EXPECT_EQ(a.completion, c.completion) << int(c.request[0]) << "/" << int(c.request[1]);
    EXPECT_TRUE(a.data.empty());
  }
}

TEST(BmcModel, AnswersSetInProgressAndAddressPerChannel) {
  BmcFixture f;
  EXPECT_EQ(f.Ask({1, 0, 0, 0}).data, (std::vector<uint8_t>{0x11, 1}));
  EXPECT_EQ(f.Ask({1, 3, 0, 0}).data, (std::vector<uint8_t>{0x11, 10, 1, 2, 3}));
  EXPECT_EQ(f.Ask({0x81, 3, 0, 0}).data, (std::vector<uint8_t>{0x11}));           // revision only
  EXPECT_EQ(f.Ask({8, 3, 0, 0}).data, (std::vector<uint8_t>{0x11, 192, 168, 0})); // short
  EXPECT_EQ(f.Ask({8, 0, 0, 0}).data, (std::vector<uint8_t>{0x11}));
  ASSERT_EQ(f.bmc->Exchanges().size(), 5u);
  EXPECT_EQ(f.bmc->Exchanges()[1].request, (std::vector<uint8_t>{1, 3, 0, 0}));
}

// 200 us to answer and 40 us per byte: 2 + 4 request bytes, 3 + 5 answer bytes for an address.
TEST(BmcModel, EachExchangeCostsVirtualTime) {
  BmcFixture f;
  f.Ask({1, 3, 0, 0});
  EXPECT_EQ(f.m.clock.NowNs(), (200 + 40 * 14) * 1000u);
  f.Ask({2, 3, 0, 0}); // refused: 6 request bytes, 3 answer bytes
  EXPECT_EQ(f.m.clock.NowNs(), (200 + 40 * 14 + 200 + 40 * 9) * 1000u);
  EXPECT_DOUBLE_EQ(f.bmc->Exchanges().back().t_us, f.m.clock.NowUs());
}

TEST(IpmiTransport, CompletionCodesBecomeErrorsAndAnswersFitTheBuffer) {
  BmcFixture f;
  sim::IpmiTransport transport(*f.bmc);
  IPMI_TRANSPORT_PPI *ppi = transport.Ppi();
  UINT8 request[4] = {1, 3, 0, 0};
  UINT8 response[8] = {};
  UINT8 size = 5;
  EXPECT_EQ(ppi->IpmiSubmitCommand(ppi, 0x0C, 0, 0x02, request, 4, response, &size), EFI_SUCCESS);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(response[4], 3);
  UINT8 untouched[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  size = 4; // one byte too few for the address: nothing handed back
  EXPECT_EQ(ppi->IpmiSubmitCommand(ppi, 0x0C, 0, 0x02, request, 4, untouched, &size),
            EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(untouched[0], 0xEE);
  request[0] = 2;
  size = 5;
  EXPECT_EQ(ppi->IpmiSubmitCommand(ppi, 0x0C, 0, 0x02, request, 4, untouched, &size),
            EFI_DEVICE_ERROR);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(untouched[0], 0xEE);
  EXPECT_EQ(ppi->IpmiSubmitCommand(ppi, 0x0C, 0, 0x02, request, 4, response, nullptr),
            EFI_INVALID_PARAMETER);
  EXPECT_EQ(f.bmc->Exchanges().size(), 3u); // the malformed call never reached the BMC
}

} // namespace
