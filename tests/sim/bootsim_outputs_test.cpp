// bootsim's outputs: a file it cannot write is an error that names the file and exits 3, never a
// "wrote" line; what it does write names images by their role, lists each device's counts and
// the addresses nothing decoded, and marks each step of the boot in the trace.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/sim/cli_run.h"

namespace fs = std::filesystem;

namespace {

test::CliRun Bootsim(const std::string &args) { return test::RunTool(BOOTSIM_PATH, args); }

class BootsimOutputs : public ::testing::Test {
protected:
  void SetUp() override {
    dir = test::FreshTestDir("bootsim_outputs");
    out = dir / "out";
    fs::create_directories(out);
    std::ofstream(dir / "s.json") << R"({"events": ["ProgressStart", "ScreenA"]})";
  }
  void TearDown() override { fs::remove_all(dir); }
  test::CliRun Run(const std::string &options) {
    return Bootsim(options + " --scenario " + (dir / "s.json").string() + " --out " + out.string());
  }
  // Makes `name` in the output directory a file that takes no data.
  void Full(const std::string &name) { fs::create_symlink("/dev/full", out / name); }
  nlohmann::json Report() {
    std::ifstream in(out / "report.json");
    return nlohmann::json::parse(in);
  }
  fs::path dir, out;
};

TEST_F(BootsimOutputs, AReportThatCannotBeWrittenExitsThree) {
  fs::create_directories(out / "report.json");
  const test::CliRun run = Run("");
  EXPECT_EQ(run.exit_code, 3) << run.output;
  EXPECT_TRUE(run.Says((out / "report.json").string() + ": is a directory")) << run.output;
  EXPECT_TRUE(run.Says("wrote " + (out / "boot-screen.png").string() + "\n")) << run.output;
  EXPECT_TRUE(run.Says("1 output could not be written")) << run.output;
}

TEST_F(BootsimOutputs, ScreenTraceAndFramesOnAFullDiskExitThree) {
  Full("boot-screen.png");
  Full("trace.jsonl");
  Full("frame-02-ScreenA.png");
  const test::CliRun run = Run("--trace --frames");
  EXPECT_EQ(run.exit_code, 3) << run.output;
  EXPECT_TRUE(run.Says((out / "boot-screen.png").string() + ": cannot be written")) << run.output;
  EXPECT_TRUE(run.Says((out / "trace.jsonl").string() + ": cannot be written")) << run.output;
  EXPECT_TRUE(run.Says((out / "frame-02-ScreenA.png").string() + ": cannot be written"))
      << run.output;
  EXPECT_TRUE(run.Says("3 outputs could not be written")) << run.output;
  EXPECT_TRUE(run.Says("wrote " + (out / "report.json").string() + ", ")) << run.output;
  EXPECT_FALSE(run.Says("boot-screen.png,")) << run.output; // not listed as written
}

TEST_F(BootsimOutputs, OutputDirectoryThatIsAFileAndSmmReportFailuresExitThree) {
  std::ofstream(dir / "plain") << "x";
  const test::CliRun notDir =
      Bootsim("--scenario " + (dir / "s.json").string() + " --out " + (dir / "plain").string());
  EXPECT_EQ(notDir.exit_code, 3) << notDir.output;
  EXPECT_TRUE(notDir.Says("--out: cannot create the directory")) << notDir.output;
  Full("report.json");
  const test::CliRun smm = Bootsim("--smm --out " + out.string());
  EXPECT_EQ(smm.exit_code, 3) << smm.output;
  EXPECT_TRUE(smm.Says((out / "report.json").string() + ": cannot be written")) << smm.output;
  EXPECT_FALSE(smm.Says("wrote")) << smm.output;
}

TEST_F(BootsimOutputs, ReportNamesImagesByRoleAndSummarisesTheBus) {
  const test::CliRun run = Bootsim("--out " + out.string());
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const nlohmann::json report = Report();
  std::vector<std::string> roles;
  for (const auto &image : report["images"]) {
    roles.push_back(image["role"]);
    EXPECT_EQ(image["guid"].get<std::string>().size(), 36u);
  }
  ASSERT_GE(roles.size(), 3u);
  EXPECT_EQ(roles[0], "logo");
  EXPECT_EQ(roles[1], "banner A");
  EXPECT_EQ(roles.back(), "footer");
  EXPECT_TRUE(run.Says("  logo                 drawn at columns")) << run.output;

  std::map<std::string, nlohmann::json> devices;
  for (const auto &d : report["devices"]) {
    devices[d["name"]] = d;
    for (const char *field : {"reads", "writes", "unclaimed", "guest_errors"}) {
      EXPECT_TRUE(d[field].is_number_unsigned()) << d.dump();
    }
  }
  ASSERT_TRUE(devices.count("vga-dac")) << report["devices"].dump();
  EXPECT_GT(devices["vga-dac"]["writes"].get<uint64_t>(), 0u);
  ASSERT_TRUE(devices.count("chip-dram")) << report["devices"].dump(); // the frame buffer
  EXPECT_GT(devices["chip-dram"]["writes"].get<uint64_t>(), 0u);

  const nlohmann::json &unclaimed = report["unclaimed_accesses"];
  uint64_t listed = unclaimed["not_listed"];
  for (const auto &r : unclaimed["ranges"]) {
    EXPECT_EQ(r["first"].get<std::string>().rfind("0x", 0), 0u);
    EXPECT_LE(std::stoull(r["first"].get<std::string>(), nullptr, 16),
              std::stoull(r["last"].get<std::string>(), nullptr, 16));
    listed += r["accesses"].get<uint64_t>();
  }
  EXPECT_EQ(listed, report["bus"]["unclaimed"].get<uint64_t>());
  EXPECT_EQ(report["virtual_time_saturated"], false);
}

TEST_F(BootsimOutputs, ConsoleListsImagesNotDrawnWithTheReason) {
  std::ofstream(dir / "s.json")
      << R"({"events": ["ProgressStart", "ScreenB"], "flash": {"volumes": []}})";
  const test::CliRun run = Run("");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_TRUE(run.Says("  logo                 NOT drawn: no firmware volume holds a freeform "
                       "file with this name"))
      << run.output;
  EXPECT_TRUE(run.Says("  banner B             NOT drawn: ")) << run.output;
  const nlohmann::json report = Report();
  EXPECT_EQ(report["images"][0]["role"], "logo");
  EXPECT_EQ(report["images"][0]["drawn"], false);
}

TEST_F(BootsimOutputs, SmmTraceHoldsTheLoadsAccesses) {
  const test::CliRun run = Bootsim("--smm --trace --out " + out.string());
  ASSERT_EQ(run.exit_code, 0) << run.output;
  std::ifstream trace(out / "trace.jsonl");
  std::string line;
  size_t accesses = 0;
  std::getline(trace, line);
  EXPECT_EQ(nlohmann::json::parse(line)["name"], "entry DimmReportSmm");
  while (std::getline(trace, line)) {
    const auto record = nlohmann::json::parse(line);
    accesses += record["kind"] == "io" || record["kind"] == "mmio";
  }
  const nlohmann::json smm = Report()["smm"];
  EXPECT_GT(accesses, 0u);
  EXPECT_TRUE(smm.contains("devices"));
  EXPECT_TRUE(smm.contains("unclaimed_accesses"));
}

} // namespace
