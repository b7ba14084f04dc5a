// bootsim as a user runs it: the files it writes, what they hold, and its exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/core/input_file.h"
#include "sim/pei/flash_scenario.h"
#include "sim/screen/screenshot.h"
#include "tests/sim/cli_run.h"
#include "tests/sim/png_reader.h"

namespace fs = std::filesystem;

namespace {

using test::CliRun;

CliRun Bootsim(const std::string &args) { return test::RunTool(BOOTSIM_PATH, args); }

fs::path FreshDir(const std::string &name) { return test::FreshDir("bootsim_cli_" + name); }

nlohmann::json ReadJson(const fs::path &file) {
  std::ifstream in(file);
  return nlohmann::json::parse(in);
}

TEST(BootsimCli, DefaultBootWritesScreenAndReport) {
  const fs::path out = FreshDir("default");
  const CliRun run = Bootsim("--out " + out.string());
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Milestone15"), std::string::npos);

  const nlohmann::json report = ReadJson(out / "report.json");
  EXPECT_EQ(report["boot_mode"], "normal");
  std::vector<int> percents;
  for (const auto &e : report["events"]) {
    percents.push_back(e["percent"].get<int>());
    EXPECT_TRUE(e["t_us"].is_number());
  }
  EXPECT_EQ(percents, (std::vector<int>{0, 1, 5, 10, 15, 20, 30, 30, 30}));
  EXPECT_EQ(report["progress_record"]["present"], true);
  EXPECT_EQ(report["progress_record"]["marker"], 1);
  EXPECT_EQ(report["progress_record"]["percent"], 30);
  // The screen trigger's settle time, six root ports tried, the display bridge's bus numbers,
  // the reset of the cold chip's memory controller.
  EXPECT_EQ(report["stall_us"], 11000);
  EXPECT_EQ(report["display"]["chip"]["phy_settings"]["MCR2CC"], "0x00005757");
  EXPECT_EQ(report["display"]["enable_status"], "EFI_SUCCESS");
  EXPECT_EQ(report["display"]["mode"]["width"], 800);
  EXPECT_GT(report["bus"]["mmio"]["w"].get<uint64_t>(), 0u);
  EXPECT_GE(report["virtual_time_us"].get<double>(), 1000.0);

  const test::RgbImage png = test::ReadPng(out / "boot-screen.png");
  ASSERT_EQ(png.width, 800u);
  ASSERT_EQ(png.height, 600u);
}

TEST(BootsimCli, FramesAndTrace) {
  const fs::path out = FreshDir("frames");
  const fs::path scenario = out / "s.json";
  std::ofstream(scenario) << R"({"events": ["ProgressStart", "ScreenB", "Milestone5"]})";
  const CliRun run =
      Bootsim("--scenario " + scenario.string() + " --out " + out.string() + " --frames --trace");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_TRUE(fs::exists(out / "frame-01-ProgressStart.png"));
  EXPECT_TRUE(fs::exists(out / "frame-02-ScreenB.png"));
  EXPECT_TRUE(fs::exists(out / "frame-03-Milestone5.png"));
  std::ifstream trace(out / "trace.jsonl");
  std::string line;
  // A boot writes a line per access (the screen clear alone is 120,000): every line is counted,
  // the service lines and every 97th line are parsed as JSON.
  constexpr size_t kParseEvery = 97;
  size_t lines = 0, services = 0, chipScu = 0, chipMcr = 0;
  std::vector<std::string> events;
  while (std::getline(trace, line)) {
    ++lines;
    if (line.find(R"("kind":"event")") != std::string::npos) {
      events.push_back(nlohmann::json::parse(line)["name"]);
      continue;
    }
    const bool service = line.find(R"("kind":"service")") != std::string::npos;
    if (service || lines % kParseEvery == 0) {
      const auto record = nlohmann::json::parse(line);
      ASSERT_EQ(record["kind"] == "service", service) << line;
      ASSERT_TRUE(record.contains("t_us") && record.contains("addr") && record.contains("value"));
    }
    services += service;
    // The chip's blocks by name, without parsing every line.
    chipScu += line.find(R"("device":"chip-scu")") != std::string::npos;
    chipMcr += line.find(R"("device":"chip-mcr")") != std::string::npos;
  }
  // The cold chip's start-up shows as accesses to its blocks through the register window.
  EXPECT_GT(chipScu, 0u);
  EXPECT_GT(chipMcr, 0u);
  // A marker before each step of the boot: the module's entry and every PPI the platform installs.
  EXPECT_EQ(events, (std::vector<std::string>{"entry BootProgressPei", "install ProgressStart",
                                              "install ScreenB", "install Milestone5"}));
  const nlohmann::json report = ReadJson(out / "report.json");
  const uint64_t accesses =
      report["bus"]["io"]["r"].get<uint64_t>() + report["bus"]["io"]["w"].get<uint64_t>() +
      report["bus"]["mmio"]["r"].get<uint64_t>() + report["bus"]["mmio"]["w"].get<uint64_t>();
  EXPECT_EQ(lines - services - events.size(), accesses);
  EXPECT_GT(services, 0u);
}

TEST(BootsimCli, BadScenarioExitsTwoNamingTheKey) {
  const fs::path out = FreshDir("bad");
  const fs::path scenario = out / "bad.json";
  std::ofstream(scenario) << R"({"events": ["ProgressStart", "Milestone7"]})";
  const CliRun run = Bootsim("--scenario " + scenario.string() + " --out " + out.string());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.output.find(scenario.string()), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("events[1]"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(out / "report.json"));
  EXPECT_EQ(Bootsim("--bogus").exit_code, 2);
  std::ofstream(scenario) << R"({"display": {"revision": 300}})";
  const CliRun display = Bootsim("--scenario " + scenario.string() + " --out " + out.string());
  EXPECT_EQ(display.exit_code, 2);
  EXPECT_NE(display.output.find("display.revision"), std::string::npos) << display.output;
}

TEST(Screenshot, ShowsFrameBufferThroughTheDac) {
  std::vector<uint8_t> pixels(4 * 2, 0);
  pixels[1] = 7;
  pixels[4 + 3] = 255;
  std::array<sim::Rgb6, 256> palette{};
  palette[7] = {0x3F, 0x20, 0x01};
  palette[255] = {0x00, 0x3F, 0x10};
  const fs::path file = FreshDir("png") / "s.png";
  std::string error;
  ASSERT_TRUE(sim::WriteScreenshot(file, {pixels.data(), 4, 2, 4, &palette}, &error)) << error;
  const test::RgbImage png = test::ReadPng(file);
  ASSERT_EQ(png.width, 4u);
  EXPECT_EQ(png.At(1, 0)[0], 0xFF);
  EXPECT_EQ(png.At(1, 0)[1], 0x82);
  EXPECT_EQ(png.At(1, 0)[2], 0x04);
  EXPECT_EQ(png.At(3, 1)[1], 0xFF);
  EXPECT_EQ(png.At(3, 1)[2], 0x41);
  EXPECT_EQ(png.At(0, 0)[0], 0x00);
}

} // namespace
