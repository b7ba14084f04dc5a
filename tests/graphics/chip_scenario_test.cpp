// The chip's scenario keys and the record report.json shows.
#include <gtest/gtest.h>

#include "modules/boot_progress_pei/graphics/chip_startup.h"
#include "tests/graphics/chip_rig.h"

namespace {

using test::ChipConfigFrom;

TEST(ChipScenario, DefaultsAndEveryKey) {
  const sim::ChipConfig d = ChipConfigFrom("{}");
  EXPECT_FALSE(d.started_by_bmc);
  EXPECT_TRUE(d.ddr4);
  EXPECT_EQ(d.size_mib, 1024u);
  EXPECT_EQ(d.eye_vref.lo, 0x50u);
  EXPECT_EQ(d.eye_vref.hi, 0x5Fu);
  EXPECT_EQ(d.eye_delay.lo, 0x10u);
  EXPECT_EQ(d.eye_delay.hi, 0x29u);
  EXPECT_EQ(ChipConfigFrom(R"({"display": {"revision": 1}})").size_mib, 1024u); // others' keys

  const sim::ChipConfig c = ChipConfigFrom(R"({"display": {"chip": {
      "started_by_bmc": true, "ddr4": false, "straps": 176160768, "size_mib": "256",
      "eye": {"vref": ["0x40", 80]}, "dead_passes": 2, "phy_errors": 3, "verify_failures": 4,
      "scu_never_unlocks": true, "mcr_never_unlocks": true, "phy_stuck_busy": true,
      "test_never_done": true, "cache_never_ready": true, "never_started": true}}})");
  EXPECT_TRUE(c.started_by_bmc);
  EXPECT_FALSE(c.ddr4);
  EXPECT_EQ(c.straps, 0x0A800000u);
  EXPECT_EQ(c.size_mib, 256u);
  EXPECT_EQ(c.eye_vref.lo, 0x40u);
  EXPECT_EQ(c.eye_vref.hi, 80u);
  EXPECT_EQ(c.eye_delay.hi, 0x29u); // untouched
  EXPECT_EQ(c.faults.dead_passes, 2u);
  EXPECT_EQ(c.faults.phy_errors, 3u);
  EXPECT_EQ(c.faults.verify_failures, 4u);
  EXPECT_TRUE(c.faults.scu_never_unlocks && c.faults.mcr_never_unlocks && c.faults.phy_stuck_busy &&
              c.faults.test_never_done && c.faults.cache_never_ready && c.faults.never_started);
}

TEST(ChipScenario, BadValuesNameTheFileTheKeyAndTheExpectation) {
  struct Case {
    const char *chip;
    const char *key;
    const char *expected;
  };
  for (const Case &c : {
           Case{R"("size_mib": 384)", "display.chip.size_mib", "2048"},
           Case{R"("straps": "0x01000000")", "display.chip.straps", "bits 23, 25 and 27"},
           Case{R"("ddr4": 1)", "display.chip.ddr4", "true or false"},
           Case{R"("eye": {"vref": [96, 80]})", "display.chip.eye.vref", "lo <= hi"},
           Case{R"("eye": {"delay": [1, 256]})", "display.chip.eye.delay", "<= 0xFF"},
           Case{R"("eye": {"width": [1, 2]})", "display.chip.eye.width", "vref or delay"},
           Case{R"("eye": [1, 2])", "display.chip.eye", "vref"},
           Case{R"("dead_passes": -1)", "display.chip.dead_passes", "an integer from 0"},
           Case{R"("phy_errors": "many")", "display.chip.phy_errors", "an integer from 0"},
           Case{R"("stuck": true)", "display.chip.stuck", "one of started_by_bmc"},
       }) {
    SCOPED_TRACE(c.chip);
    try {
      ChipConfigFrom(std::string(R"({"display": {"chip": {)") + c.chip + "}}}");
      ADD_FAILURE() << "accepted";
    } catch (const sim::ScenarioError &e) {
      EXPECT_EQ(e.file, "test.json");
      EXPECT_EQ(e.key, c.key);
      EXPECT_NE(e.expected.find(c.expected), std::string::npos) << e.expected;
    }
  }
  EXPECT_THROW(ChipConfigFrom(R"({"display": {"chip": 1}})"), sim::ScenarioError);
  EXPECT_THROW(ChipConfigFrom(R"({"display": []})"), sim::ScenarioError);
}

TEST(ChipRecord, JsonShowsAttemptsSearchesAndTests) {
  test::ChipRig rig(ChipConfigFrom(R"({"display": {"chip": {"verify_failures": 1,
                                       "phy_errors": 1}}})"));
  ASSERT_EQ(StartController(&rig.state, rig.Services()), EFI_SUCCESS);
  const nlohmann::json j = rig.chip.RecordJson();
  EXPECT_EQ(j["started_by"], "module");
  EXPECT_EQ(j["running"], true);
  EXPECT_EQ(j["dram"]["type"], "DDR4");
  EXPECT_EQ(j["dram"]["size_mib"], 1024);
  EXPECT_EQ(j["dram"]["size_code"], 3);
  ASSERT_EQ(j["attempts"].size(), 2u);
  const nlohmann::json &first = j["attempts"][0];
  EXPECT_EQ(first["verify"], "failed");
  EXPECT_EQ(first["phy_initialisations"]["failed"], 1);
  EXPECT_EQ(first["searches"][0]["register"], "MCR2CC");
  EXPECT_EQ(first["searches"][0]["chosen"], "0x00005757");
  EXPECT_EQ(first["searches"][1]["register"], "MCR2C0");
  EXPECT_EQ(first["searches"][1]["chosen"], "0x00001D06");
  // The first pass as runs: 0x40-0x4F fail, 0x50-0x5F pass, 0x60 fails.
  const nlohmann::json &runs = first["searches"][0]["passes"][0];
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0]["from"], "0x00004040");
  EXPECT_EQ(runs[0]["to"], "0x00004F4F");
  EXPECT_EQ(runs[0]["passed"], false);
  EXPECT_EQ(runs[1]["count"], 16);
  EXPECT_EQ(runs[1]["passed"], true);
  EXPECT_EQ(runs[2]["from"], "0x00006060");
  const nlohmann::json &second = j["attempts"][1];
  EXPECT_EQ(second["verify"], "passed");
  EXPECT_EQ(second["phy_initialisations"]["failed"], 0);
  EXPECT_EQ(second["tests"]["burst"], 33 + 43 + 4); // a burst per trial, four to verify
  EXPECT_EQ(second["tests"]["single"], 16 + 26 + 1);
  EXPECT_EQ(second["size_code"], 3);
}

} // namespace
