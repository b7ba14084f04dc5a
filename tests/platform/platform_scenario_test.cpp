// The pch, bmc and pcd.segment_table scenario keys: what they build, and how a bad value is
// reported (file, key, what was expected).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/pei/pei_board.h"
#include "sim/pei/platform_scenario.h"
#include "uefi/ppi/pcd.h"

namespace {

sim::PlatformSetting Parse(const std::string &json) {
  return sim::ParsePlatformSetting(sim::ParseScenario(nlohmann::json::parse(json), "s.json", "."));
}

// The key the error names, or "" when the scenario was accepted.
std::string ErrorKey(const std::string &json) {
  try {
    Parse(json);
  } catch (const sim::ScenarioError &e) {
    EXPECT_EQ(e.file, "s.json");
    EXPECT_FALSE(e.expected.empty());
    return e.key;
  }
  return "";
}

TEST(PlatformScenario, DefaultsAreAServerPchAndABmcOnChannelOne) {
  const sim::PlatformSetting s = Parse("{}");
  EXPECT_EQ(s.pch_device_id, 0xA1C1);
  EXPECT_TRUE(s.sideband.hidden);
  EXPECT_TRUE(s.pads.empty());
  ASSERT_EQ(s.lan.size(), 1u);
  EXPECT_EQ(s.lan.at(1).ip, (std::array<uint8_t, 4>{192, 168, 1, 100}));
  EXPECT_FALSE(s.segment_table);
}

TEST(PlatformScenario, ParsesEveryKey) {
  const sim::PlatformSetting s = Parse(R"({
    "pch": {"device_id": "0x9D40", "p2sb_hidden": false,
            "pads": {"0x01060015": {"level": 1, "dw0": "0x40000100", "dw1": 7, "owner": 2,
                                    "hostsw_own": 1, "gpe_en": 1, "locked": true,
                                    "tx_locked": true}},
            "sideband": {"busy_reads": 9, "stuck": true, "status": 3}},
    "bmc": {"lan": {"8": {"ip": "10.0.0.255", "set_in_progress": 2, "fail": true,
                          "short_response": true}}},
    "pcd": {"5": "0xC0000000", "segment_table": {"entries": ["0xC0000000", 0]}}})");
  EXPECT_EQ(s.pch_device_id, 0x9D40);
  EXPECT_FALSE(s.sideband.hidden);
  EXPECT_EQ(s.sideband.busy_reads, 9u);
  EXPECT_TRUE(s.sideband.stuck);
  EXPECT_EQ(s.sideband.status, 3);
  const sim::GpioPadPowerOn &pad = s.pads.at({6, 21});
  EXPECT_EQ(pad.level, 1);
  EXPECT_EQ(pad.dw0, 0x40000100u);
  EXPECT_EQ(pad.dw1, 7u);
  EXPECT_EQ(pad.owner, 2);
  EXPECT_TRUE(pad.hostsw_own && pad.gpe_en && pad.locked && pad.tx_locked);
  ASSERT_EQ(s.lan.size(), 1u); // the listed channels replace the default
  const sim::Bmc::LanChannel &lan = s.lan.at(8);
  EXPECT_EQ(lan.ip, (std::array<uint8_t, 4>{10, 0, 0, 255}));
  EXPECT_EQ(lan.set_in_progress, 2);
  EXPECT_TRUE(lan.fail && lan.short_response);
  ASSERT_TRUE(s.segment_table);
  EXPECT_EQ(s.segment_table->length, 48u);
  EXPECT_EQ(s.segment_table->bases, (std::vector<uint64_t>{0xC0000000, 0}));
}

TEST(PlatformScenario, BadValuesNameTheirKey) {
  const struct {
    const char *json, *key;
  } cases[] = {
      {R"({"pch": []})", "pch"},
      {R"({"pch": {"vendor": 1}})", "pch.vendor"},
      {R"({"pch": {"device_id": 65536}})", "pch.device_id"},
      {R"({"pch": {"p2sb_hidden": 1}})", "pch.p2sb_hidden"},
      {R"({"pch": {"pads": {"0x02060015": {}}}})", "pch.pads.0x02060015"},
      {R"({"pch": {"pads": {"0x010D0000": {}}}})", "pch.pads.0x010D0000"},
      {R"({"pch": {"pads": {"0x0104000D": {}}}})", "pch.pads.0x0104000D"},
      {R"({"pch": {"pads": {"strap": {}}}})", "pch.pads.strap"},
      {R"({"pch": {"pads": {"0x01060015": {"level": 2}}}})", "pch.pads.0x01060015.level"},
      {R"({"pch": {"pads": {"0x01060015": {"owner": 4}}}})", "pch.pads.0x01060015.owner"},
      {R"({"pch": {"pads": {"0x01060015": {"dw0": -1}}}})", "pch.pads.0x01060015.dw0"},
      {R"({"pch": {"pads": {"0x01060015": {"locked": 1}}}})", "pch.pads.0x01060015.locked"},
      {R"({"pch": {"pads": {"0x01060015": {"mode": 1}}}})", "pch.pads.0x01060015.mode"},
      {R"({"pch": {"sideband": {"status": 4}}})", "pch.sideband.status"},
      {R"({"pch": {"sideband": {"busy": 4}}})", "pch.sideband.busy"},
      {R"({"bmc": {"lan": {"0": {}}}})", "bmc.lan.0"},
      {R"({"bmc": {"lan": {"16": {}}}})", "bmc.lan.16"},
      {R"({"bmc": {"lan": {"one": {}}}})", "bmc.lan.one"},
      {R"({"bmc": {"lan": {"1": {"ip": "1.2.3"}}}})", "bmc.lan.1.ip"},
      {R"({"bmc": {"lan": {"1": {"ip": "1.2.3.256"}}}})", "bmc.lan.1.ip"},
      {R"({"bmc": {"lan": {"1": {"ip": "1.2.3.4 "}}}})", "bmc.lan.1.ip"},
      {R"({"bmc": {"lan": {"1": {"set_in_progress": 4}}}})", "bmc.lan.1.set_in_progress"},
      {R"({"bmc": {"lan": {"1": {"mac": 1}}}})", "bmc.lan.1.mac"},
      {R"({"bmc": {"sol": 1}})", "bmc.sol"},
      {R"({"pcd": {"segment_table": {"length": 4097}}})", "pcd.segment_table.length"},
      {R"({"pcd": {"segment_table": {"entries": "0x80000000"}}})", "pcd.segment_table.entries"},
      {R"({"pcd": {"segment_table": {"entries": ["x"]}}})", "pcd.segment_table.entries[0]"},
      {R"({"pcd": {"segment_table": {"base": 1}}})", "pcd.segment_table.base"},
      {R"({"pcd": {"6": 0, "segment_table": {}}})", "pcd.segment_table"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(ErrorKey(c.json), c.key) << c.json;
  }
}

TEST(PlatformScenario, SegmentTableIsPublishedThroughTokenSix) {
  sim::PeiBoard board(sim::ParseScenario(
      nlohmann::json::parse(R"({"pcd": {"5": "0xC0000000", "segment_table": {"length": 32,
                                        "entries": ["0x1E0000000", 0]}}})"),
      "s.json", "."));
  const std::vector<uint8_t> bytes = board.platform.SegmentTableBytes();
  ASSERT_EQ(bytes.size(), 48u); // the length field's 32 bytes would cut the second entry
  const uint8_t *table = bytes.data();
  EXPECT_EQ(std::memcmp(table, "MCFG", 4), 0);
  uint32_t length = 0;
  std::memcpy(&length, table + 4, 4);
  EXPECT_EQ(length, 32u); // as the scenario gives it, not as long as the entries
  uint64_t base = 0;
  std::memcpy(&base, table + 16, 8);
  EXPECT_EQ(base, 0x1E0000000u);
  EXPECT_EQ(table[16 + 11], 0xFF);                  // end bus
  EXPECT_EQ(table[32 + 8], 1);                      // segment number of the second entry
  EXPECT_EQ(board.scenario.pcd.at(5), 0xC0000000u); // token-number keys still work beside it
  EXPECT_FALSE(board.scenario.pcd.count(6));
  PCD_PPI *pcd = nullptr;
  ASSERT_EQ(board.core.LocatePpi(&gPcdPpiGuid, 0, nullptr, reinterpret_cast<VOID **>(&pcd)),
            EFI_SUCCESS);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pcd->GetPtr(6)), board.platform.segment_table_address);
  EXPECT_NE(board.platform.segment_table_address, 0u);
}

TEST(PlatformScenario, WithoutTheKeyTokenSixStaysUnset) {
  sim::PeiBoard board(sim::DefaultScenario());
  PCD_PPI *pcd = nullptr;
  ASSERT_EQ(board.core.LocatePpi(&gPcdPpiGuid, 0, nullptr, reinterpret_cast<VOID **>(&pcd)),
            EFI_SUCCESS);
  EXPECT_EQ(pcd->GetPtr(6), nullptr);
}

} // namespace
