// Scenario files: what each key means, and errors that name the file, the key and what was
// expected.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "sim/core/input_file.h"
#include "sim/core/scenario.h"
#include "sim/core/scenario_keys.h"
#include "sim/pei/event_scenario.h"
#include "tests/sim/cli_run.h"

namespace {

using nlohmann::json;

sim::Scenario Parse(const std::string &text) {
  return sim::ParseScenario(json::parse(text), "board.json", ".");
}

// The PEI board's PPI events of a scenario.
sim::PpiEventSetting Events(const std::string &text) { return sim::ParsePpiEvents(Parse(text)); }

std::string ErrorOf(const std::string &text) {
  try {
    Events(text);
  } catch (const sim::ScenarioError &e) {
    return e.what();
  }
  return "(no error)";
}

TEST(Scenario, AbsentKeysKeepTheDefaultBoardsValues) {
  const sim::Scenario d = sim::DefaultScenario();
  const sim::PpiEventSetting de = sim::ParsePpiEvents(d);
  sim::Scenario s = Parse("{}");
  EXPECT_EQ(s.boot_mode, 0u);
  EXPECT_EQ(Events("{}").events, de.events); // a scenario without events boots every milestone
  EXPECT_FALSE(Events("{}").events.empty());
  EXPECT_EQ(s.cost.io_ns, 1000u);
  EXPECT_EQ(s.pcd.at(5), 0x80000000u);
  EXPECT_EQ(s.hob_capacity, d.hob_capacity);
  EXPECT_EQ(Events(R"({"boot_mode": "s3"})").events, de.events);
  EXPECT_TRUE(Events(R"({"events": []})").events.empty()); // an empty list still means none
}

TEST(Scenario, KeysAreRead) {
  sim::Scenario s = Parse(R"({"boot_mode": "recovery", "events": ["ScreenB", "Footer"],
      "preinstalled": ["ProgressStart"], "cost_model": {"io_us": 2.5, "mmio_write_us": 0},
      "pcd": {"5": "0xE0000000", "6": 0}, "hob_capacity": "0x2000"})");
  EXPECT_EQ(s.boot_mode, 0x20u);
  const sim::PpiEventSetting e = sim::ParsePpiEvents(s);
  EXPECT_EQ(e.events, (std::vector<std::string>{"ScreenB", "Footer"}));
  EXPECT_EQ(e.preinstalled, (std::vector<std::string>{"ProgressStart"}));
  EXPECT_EQ(s.cost.io_ns, 2500u);
  EXPECT_EQ(s.cost.mmio_read_ns, 1000u);
  EXPECT_EQ(s.cost.mmio_write_ns, 0u);
  EXPECT_EQ(s.pcd.at(5), 0xE0000000u);
  EXPECT_EQ(s.pcd.at(6), 0u);
  EXPECT_EQ(s.hob_capacity, 0x2000u);
  EXPECT_EQ(Parse(R"({"boot_mode": 17})").boot_mode, 0x11u);
}

TEST(Scenario, ErrorsNameFileKeyAndExpectation) {
  EXPECT_EQ(ErrorOf(R"({"boot_mode": "fast"})"),
            "board.json: key 'boot_mode': expected \"normal\", \"s3\", \"recovery\" or a 32-bit "
            "number, got \"fast\"");
  EXPECT_NE(ErrorOf(R"({"events": ["ScreenA", "ScreenC"]})").find("key 'events[1]'"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"events": "ScreenA"})").find("a list of PPI names"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"cost_model": {"io_us": -1}})").find("key 'cost_model.io_us'"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"cost_model": {"dma_us": 1}})").find("cost_model.dma_us"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"pcd": {"5": "fast"}})").find("key 'pcd.5'"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"pcd": {"x": 1}})").find("key 'pcd.x'"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"evnets": []})").find("key 'evnets'"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"hob_capacity": 8})").find("hob_capacity"), std::string::npos);
  EXPECT_NE(ErrorOf("[1, 2]").find("a JSON object"), std::string::npos);
}

TEST(Scenario, NumbersOutsideTheirRangeAreRefusedWithTheRange) {
  // A cost of 1e300 us once overflowed the nanosecond count and ran virtual time backwards.
  EXPECT_EQ(ErrorOf(R"({"cost_model": {"io_us": 1e300}})"),
            "board.json: key 'cost_model.io_us': expected a number of microseconds from 0 to 1000, "
            "got 1e+300");
  EXPECT_EQ(Parse(R"({"cost_model": {"mmio_read_us": 1000}})").cost.mmio_read_ns, 1000000u);
  EXPECT_NE(ErrorOf(R"({"cost_model": {"mmio_read_us": 1000.5}})").find("from 0 to 1000"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"hob_capacity": "0x1000001"})").find("from 0x40 to 0x1000000"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"hob_capacity": 4096.5})").find("key 'hob_capacity'"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"pcd": {"5": "0x90000001"}})").find("a multiple of 0x10000000"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"host": {"config_base": "0xF0000000"}})").find("key 'host.config_base'"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"boot_mode": 4294967296})").find("32-bit"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"pcd": {"5": "-1"}})").find("key 'pcd.5'"), std::string::npos);
  std::string many = R"({"events": [)";
  for (size_t i = 0; i <= sim::kMaxScenarioEvents; ++i) {
    many += std::string(i ? "," : "") + R"("Footer")";
  }
  EXPECT_NE(ErrorOf(many + "]}").find("at most 256"), std::string::npos);
}

TEST(Scenario, UnknownKeysAndTokensAnywhereAreErrors) {
  EXPECT_NE(ErrorOf(R"({"host": {"config_base": 0, "cfg": 1}})").find("key 'host.cfg'"),
            std::string::npos);
  // The board publishes PCD tokens 5 and 6 only; 6 is a pointer the module follows, so only
  // "no table" can be given as a number.
  EXPECT_NE(ErrorOf(R"({"pcd": {"7": 1}})").find("key 'pcd.7'"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"pcd": {"6": 4096}})").find("0 (no segment table)"), std::string::npos);
  EXPECT_EQ(Parse(R"({"pcd": {"0x5": "0xC0000000"}, "host": {"config_base": 0}})").pcd.at(5),
            0xC0000000u); // a token written in hex is the same token
  // Every block is checked before its parser runs, down to list elements.
  EXPECT_EQ(ErrorOf(R"({"display": {}, "pch": {}, "bmc": {}})"), "(no error)");
  EXPECT_NE(ErrorOf(R"({"display": {"mode": 1}})").find("key 'display.mode'"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"pch": {"sideband": {"busy": 1}}})").find("key 'pch.sideband.busy'"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"flash": {"volumes": [{"base": 0, "file": "a", "size": 1}]}})")
                .find("key 'flash.volumes[0].size': expected one of the known keys (base, file, "
                      "manifest)"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"smm": {"sink": {"present": true, "later": 2}}})").find("smm.sink.later"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"smm": {"processors": [5]}})").find("key 'smm.processors[0]'"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"cost_model": 3})").find("key 'cost_model': expected an object"),
            std::string::npos);
}

// docs/scenario.md documents each key of the table, with its range and default, and no other.
TEST(Scenario, TheDocumentListsEveryKeyWithItsRangeAndDefault) {
  std::ifstream in(std::string(SOURCE_DIR) + "/docs/scenario.md");
  ASSERT_TRUE(in) << "docs/scenario.md";
  std::set<std::string> documented;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("| `", 0) == 0) {
      documented.insert(line);
    }
  }
  std::set<std::string> rows;
  for (const sim::ScenarioKey &k : sim::ScenarioKeys()) {
    rows.insert("| `" + std::string(k.path) + "` | " + std::string(k.takes) + " | " +
                std::string(k.default_value) + " |");
  }
  EXPECT_EQ(documented, rows);
}

TEST(Scenario, KeysGivenTwiceAreErrorsNamingThePath) {
  auto errorOfText = [](const std::string &text) -> std::string {
    try {
      sim::ParseScenarioText(text, "board.json", ".");
    } catch (const sim::ScenarioError &e) {
      return e.what();
    }
    return "(no error)";
  };
  EXPECT_EQ(errorOfText(R"({"boot_mode": "normal", "boot_mode": "s3"})"),
            "board.json: key 'boot_mode': expected each key once in an object, but it is given "
            "twice");
  EXPECT_NE(
      errorOfText(R"({"smm": {"processors": [{"apic_id": 1}, {"apic_id": 2, "apic_id": 3}]}})")
          .find("key 'smm.processors[1].apic_id'"),
      std::string::npos);
  EXPECT_NE(errorOfText(std::string(40, '[') + std::string(40, ']')).find("levels of nesting"),
            std::string::npos);
  EXPECT_NE(errorOfText(R"({"cost_model": {"io_us": 1e400}})").find("valid JSON"),
            std::string::npos);
  EXPECT_EQ(errorOfText(R"({"cost_model": {"io_us": 2}, "events": []})"), "(no error)");
}

TEST(Scenario, FilesThatCannotBeUsed) {
  const auto dir = std::filesystem::temp_directory_path() / "scenario_test";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "broken.json") << "{\"events\": [";
  try {
    sim::LoadScenario(dir / "broken.json");
    FAIL();
  } catch (const sim::ScenarioError &e) {
    EXPECT_EQ(e.file, (dir / "broken.json").string());
    EXPECT_NE(e.expected.find("valid JSON"), std::string::npos);
  }
  EXPECT_THROW(sim::LoadScenario(dir / "missing.json"), sim::ScenarioError);
  const test::BadPaths bad(dir, sim::kScenarioFileLimit);
  for (const auto &[path, words] : bad.All()) {
    try {
      sim::LoadScenario(path);
      ADD_FAILURE() << path << " was read";
    } catch (const sim::ScenarioError &e) {
      EXPECT_EQ(e.file, path.string());
      EXPECT_NE(e.expected.find(words), std::string::npos) << e.what();
      EXPECT_NE(e.expected.find("at most 1 MiB"), std::string::npos) << e.what();
    }
  }
  std::ofstream(dir / "good.json") << R"({"boot_mode": "s3"})";
  sim::Scenario s = sim::LoadScenario(dir / "good.json");
  EXPECT_EQ(s.base_dir, dir);
  EXPECT_EQ(s.source, (dir / "good.json").string());
}

} // namespace
