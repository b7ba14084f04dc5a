// bootsim given what a new user, or a careless script, gives it: paths that are not files, numbers
// out of range, keys it does not know, options it does not have, and volumes that are not
// volumes. Every case ends with a message naming the file and key, never with a crash or a hang.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "sim/core/input_file.h"
#include "sim/pei/flash_scenario.h"
#include "sim/pi/fv_builder.h"
#include "tests/sim/cli_run.h"

namespace fs = std::filesystem;

namespace {

test::CliRun Bootsim(const std::string &args) { return test::RunTool(BOOTSIM_PATH, args); }

class BootsimInputs : public ::testing::Test {
protected:
  void SetUp() override { dir = test::FreshTestDir("bootsim_inputs"); }
  void TearDown() override { fs::remove_all(dir); }
  // Writes a scenario and boots it; `extra` goes before the options.
  test::CliRun Boot(const std::string &scenario, const std::string &extra = "") {
    std::ofstream(dir / "s.json") << scenario;
    return Bootsim(extra + " --scenario " + (dir / "s.json").string() + " --out " +
                   (dir / "out").string());
  }
  fs::path dir;
};

TEST_F(BootsimInputs, ScenarioPathsThatAreNotFilesExitTwo) {
  const test::BadPaths bad(dir, sim::kScenarioFileLimit);
  for (const auto &[path, words] : bad.All()) {
    for (const char *mode : {"", "--smm"}) { // each command reads the scenario itself
      const test::CliRun run = Bootsim(std::string(mode) + " --scenario " + path.string() +
                                       " --out " + (dir / "out").string());
      EXPECT_EQ(run.exit_code, 2) << path << run.output;
      EXPECT_TRUE(run.Says("--scenario: " + path.string())) << run.output;
      EXPECT_TRUE(run.Says(words)) << run.output;
      EXPECT_FALSE(fs::exists(dir / "out" / "report.json"));
    }
  }
}

TEST_F(BootsimInputs, ImagePathsThatAreNotFilesExitTwo) {
  const test::BadPaths bad(dir, sim::kFlashImageLimit);
  for (const auto &[path, words] : bad.All()) {
    for (const char *mode : {"", "--smm "}) {
      const test::CliRun run = Bootsim(std::string(mode) + "--image " + path.string() + " --out " +
                                       (dir / "out").string());
      EXPECT_EQ(run.exit_code, 2) << path << run.output;
      EXPECT_TRUE(run.Says("--image: " + path.string() + ": cannot read the image: it"))
          << run.output;
      EXPECT_TRUE(run.Says(words)) << run.output;
      EXPECT_FALSE(fs::exists(dir / "out" / "report.json"));
    }
  }
}

TEST_F(BootsimInputs, VolumeAndManifestPathsThatAreNotFilesExitTwo) {
  const test::BadPaths volumes(dir / "v", sim::FlashDevice::kSize);
  for (const auto &[path, words] : volumes.All()) {
    const test::CliRun run = Boot(R"({"flash": {"volumes": [{"base": "0xFF800000", "file": ")" +
                                  path.string() + R"("}]}})");
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_TRUE(run.Says("key 'flash.volumes[0].file'")) << run.output;
    EXPECT_TRUE(run.Says(path.string() + " ")) << run.output;
    EXPECT_TRUE(run.Says(words)) << run.output;
  }
  const test::BadPaths manifests(dir / "m", sim::kManifestFileLimit);
  for (const auto &[path, words] : manifests.All()) {
    const test::CliRun run = Boot(R"({"flash": {"volumes": [{"base": "0xFF800000", "manifest": ")" +
                                  path.string() + R"("}]}})");
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_TRUE(run.Says("key 'flash.volumes[0].manifest'")) << run.output;
    EXPECT_TRUE(run.Says(words)) << run.output;
  }
}

TEST_F(BootsimInputs, AVolumeFileThatIsNotAVolumeLoadsWithAWarning) {
  std::vector<uint8_t> volume = sim::PackManifest(sim::AssetsDir() / "manifest.json");
  volume.resize(0x2000); // cut short: its header claims more than the file holds
  std::ofstream(dir / "short.fv", std::ios::binary)
      .write(reinterpret_cast<const char *>(volume.data()), 0x2000);
  std::ofstream(dir / "noise.fv") << std::string(3000, 'x');
  const test::CliRun run = Boot(R"({"events": ["ProgressStart", "ScreenA"], "flash": {"volumes": [
      {"base": "0xFF800000", "file": "short.fv"}, {"base": "0xFF900000", "file": "noise.fv"},
      {"base": "0xFFA00800", "manifest": ")" +
                                (sim::AssetsDir() / "manifest.json").string() + R"("}]}})");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_TRUE(run.Says("warning: ")) << run.output;
  EXPECT_TRUE(run.Says("short.fv is loaded, but is not a firmware volume the boot screen can use: "
                       "its volume header is corrupted"))
      << run.output;
  EXPECT_TRUE(run.Says("noise.fv is loaded, but is not a firmware volume the boot screen can use: "
                       "it does not start with a firmware volume header"))
      << run.output;
  EXPECT_TRUE(run.Says("0xFFA00800 is not on a 64 KiB boundary")) << run.output;
  std::ifstream in(dir / "out" / "report.json");
  EXPECT_EQ(nlohmann::json::parse(in)["warnings"].size(), 3u);
}

TEST_F(BootsimInputs, ScenariosThatOnceCrashedOrPassedSilentlyExitTwo) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Virtual time used to run backwards.
      {R"({"cost_model": {"io_us": 1e300}})", "key 'cost_model.io_us': expected a number of "
                                              "microseconds from 0 to 1000"},
      {R"({"cost_model": {"io_us": 1e400}})", "valid JSON"}, // used to abort
      {R"({"pcd": {"6": 4096}})", "key 'pcd.6'"}, // the module followed it into host memory
      {R"({"pcd": {"9": 1}})", "key 'pcd.9'"},
      {R"({"boot_mode": "s3", "boot_mode": "normal"})", "key 'boot_mode'"},
      {R"({"smm": {"tsc_hz": 0}})", "key 'smm.tsc_hz'"}, // checked on a PEI boot too
      {R"({"smm": {"processors": [{"apic_id": 1, "core": 0}]}})", "smm.processors[0].core"},
      {R"({"flash": {"volumes": [], "size": 1}})", "key 'flash.size'"},
      {R"({"flash": {"volumes": [{"base": "0xFE000000", "file": "x.fv"}]}})",
       "key 'flash.volumes[0].base': expected an integer from 0xFF000000 to 0xFFFFFFFF"},
      // Keys of image runs are checked on every run.
      {R"({"temp_ram_size": "0xFFFFFFFFFFFF"})", "key 'temp_ram_size': expected an integer from"},
      {R"({"image_volume_base": "0x1FFFF0000"})",
       "key 'image_volume_base': expected an integer from 0xFF000000 to 0xFFFFF000"},
      {R"({"display": {"crtc_d0": 64}})", "key 'display.crtc_d0'"},
  };
  // Both commands check the same blocks; they take the cases in turn.
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto &[scenario, words] = cases[i];
    const char *mode = i % 2 == 0 ? "" : "--smm";
    const test::CliRun run = Boot(scenario, mode);
    EXPECT_EQ(run.exit_code, 2) << mode << " " << scenario << "\n" << run.output;
    EXPECT_TRUE(run.Says((dir / "s.json").string() + ": ")) << run.output;
    EXPECT_TRUE(run.Says(words)) << scenario << "\n" << run.output;
  }
  // The SMM board places its configuration space at PCD token 5: an unusable base once aborted.
  const test::CliRun smm = Boot(R"({"pcd": {"5": "0xFFFFFFFFFFF"}})", "--smm");
  EXPECT_EQ(smm.exit_code, 2) << smm.output;
  EXPECT_TRUE(smm.Says("a multiple of 0x10000000")) << smm.output;
}

TEST_F(BootsimInputs, ScenarioWithoutEventsBootsTheDefaultMilestones) {
  const test::CliRun run = Boot(R"({"boot_mode": "normal"})");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  std::ifstream in(dir / "out" / "report.json");
  const nlohmann::json report = nlohmann::json::parse(in);
  EXPECT_EQ(report["events"].size(), 9u);
  EXPECT_EQ(report["progress_record"]["percent"], 30);
  ASSERT_EQ(Boot(R"({"events": []})").exit_code, 0);
  std::ifstream none(dir / "out" / "report.json");
  EXPECT_TRUE(nlohmann::json::parse(none)["events"].empty());
}

TEST(BootsimHelp, EveryCommandExplainsItself) {
  for (const char *args : {"--help", "-h", "--smm --help"}) {
    const test::CliRun run = Bootsim(args);
    EXPECT_EQ(run.exit_code, 0) << args;
    for (const char *word :
         {"--scenario FILE", "--out DIR", "--frames", "--trace", "--smm", "--image FILE.efi",
          "check-images", "exit codes", "3 an output could not be written"}) {
      EXPECT_TRUE(run.Says(word)) << word << "\n" << run.output;
    }
  }
  const test::CliRun images = Bootsim("check-images --help");
  EXPECT_EQ(images.exit_code, 0) << images.output;
  for (const char *word :
       {"--manifest M.json", "--role ROLE", "--high", "--low", "--at BOTTOM,LEFT", "exit codes"}) {
    EXPECT_TRUE(images.Says(word)) << word << "\n" << images.output;
  }
}

TEST(BootsimHelp, UnknownOptionsAndMissingValuesPrintTheUsage) {
  const std::vector<std::pair<std::string, std::string>> wrong = {
      {"--bogus", "unknown option --bogus"},
      {"--scenario", "--scenario needs a value (FILE)"},
      {"--scenario a.json --scenario b.json", "--scenario: given twice"},
      {"--image a.efi --image b.efi", "--image: given twice"},
      {"--smm --frames", "--frames does not apply to the SMM load"},
      {"stray", "unexpected argument stray"},
      {"check-images --bogus", "unknown option --bogus"},
      {"check-images --at 3 x.bmp", "--at: takes BOTTOM,LEFT margins"},
      {"check-images --at -1,2 x.bmp", "--at: takes BOTTOM,LEFT margins"},
      {"check-images --high", "options but no files"},
  };
  for (const auto &[args, words] : wrong) {
    const test::CliRun run = Bootsim(args);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_TRUE(run.Says(words)) << args << "\n" << run.output;
    EXPECT_TRUE(run.Says("usage: bootsim")) << args << "\n" << run.output;
  }
}

} // namespace
