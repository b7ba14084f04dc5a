// Scenario files: what each key means, and errors that name the file, the key and what was
// expected.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/core/scenario.h"

namespace {

using nlohmann::json;

sim::Scenario Parse(const std::string &text) {
  return sim::ParseScenario(json::parse(text), "board.json", ".");
}

std::string ErrorOf(const std::string &text) {
  try {
    Parse(text);
  } catch (const sim::ScenarioError &e) {
    return e.what();
  }
  return "(no error)";
}

TEST(Scenario, EveryKeyIsOptional) {
  sim::Scenario s = Parse("{}");
  EXPECT_EQ(s.boot_mode, 0u);
  EXPECT_TRUE(s.events.empty());
  EXPECT_EQ(s.cost.io_ns, 1000u);
  EXPECT_EQ(s.pcd.at(5), 0x80000000u);
}

TEST(Scenario, KeysAreRead) {
  sim::Scenario s = Parse(R"({"boot_mode": "recovery", "events": ["ScreenB", "Footer"],
      "preinstalled": ["ProgressStart"], "cost_model": {"io_us": 2.5, "mmio_write_us": 0},
      "pcd": {"5": "0xE0000000", "6": 4096}, "hob_capacity": "0x2000"})");
  EXPECT_EQ(s.boot_mode, 0x20u);
  EXPECT_EQ(s.events, (std::vector<std::string>{"ScreenB", "Footer"}));
  EXPECT_EQ(s.preinstalled, (std::vector<std::string>{"ProgressStart"}));
  EXPECT_EQ(s.cost.io_ns, 2500u);
  EXPECT_EQ(s.cost.mmio_read_ns, 1000u);
  EXPECT_EQ(s.cost.mmio_write_ns, 0u);
  EXPECT_EQ(s.pcd.at(5), 0xE0000000u);
  EXPECT_EQ(s.pcd.at(6), 4096u);
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
  std::ofstream(dir / "good.json") << R"({"boot_mode": "s3"})";
  sim::Scenario s = sim::LoadScenario(dir / "good.json");
  EXPECT_EQ(s.base_dir, dir);
  EXPECT_EQ(s.source, (dir / "good.json").string());
}

} // namespace
