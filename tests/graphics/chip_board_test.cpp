// The BMC chip on the PEI board: BAR1 reaches its registers, BAR0 is the top of its DRAM, CRTC 0xD0
// shows its SCU40. Whole boots: the default cold DDR4 chip is trained by the module and reported;
// every example board of scenarios/ boots to its stated end, a chip that never complies within
// its stated budget, with no screen, while the milestones go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "access/mmio.h"
#include "sim/pei/pei_report.h"
#include "tests/graphics/display_board.h"
#include "tests/progress/boot_fixture.h"

namespace {

constexpr uint32_t kFrameBuffer = 0xA0000000;
constexpr uint32_t kMmioBase = 0xA1000000; // BAR1 as bring-up assigns it
constexpr uint64_t MiB = 1ull << 20;

bool Black(const sim::ScreenPicture &p) {
  return std::all_of(p.rgb.begin(), p.rgb.end(), [](uint8_t v) { return v == 0; });
}

TEST(ChipBoard, Bar1WindowReachesTheChipAndBar0IsTheTopOfItsDram) {
  test::DisplayBoard b(R"({"chip": {"size_mib": 256, "straps": "0x00800000"}})");
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  sim::BmcChip &chip = *b.board.display.Chip();

  MmioWrite32(kMmioBase + 0xF004, 0x1E6E0000);
  MmioWrite32(kMmioBase + 0xF000, 1);
  // Bit 23 was cleared and set again by the start-up; bit 24 is the DDR4 strap.
  EXPECT_EQ(MmioRead32(kMmioBase + 0x12070), 0x01800000u);
  EXPECT_EQ(MmioRead32(kMmioBase + 0x10004) & 0x3, 1u); // size code of 256 MiB
  MmioWrite32(kMmioBase + 0xF000, 0);
  EXPECT_EQ(MmioRead32(kMmioBase + 0x12070), 0xFFFFFFFFu); // a closed window decodes nothing

  MmioWrite32(kFrameBuffer + 8, 0x44332211);
  uint8_t bytes[4];
  chip.dram.Peek(256 * MiB - 16 * MiB + 8, bytes, 4);
  EXPECT_EQ(bytes[0], 0x11);
  EXPECT_EQ(bytes[3], 0x44);
  // The same bytes through the window onto the chip's internal bus.
  MmioWrite32(kMmioBase + 0xF004, 0x8F000000);
  MmioWrite32(kMmioBase + 0xF000, 1);
  EXPECT_EQ(MmioRead32(kMmioBase + 0x10008), 0x44332211u);
}

TEST(ChipBoard, WithoutItsDramUpTheFrameBufferHoldsNothing) {
  test::DisplayBoard b(R"({"chip": {"phy_errors": 100000}})");
  EXPECT_EQ(b.Enable(), EFI_DEVICE_ERROR);
  // The PCI set-up was done, so BAR0 decodes, but the memory behind it is not up.
  MmioWrite32(kFrameBuffer, 0x12345678);
  EXPECT_EQ(MmioRead32(kFrameBuffer), 0xFFFFFFFFu);
  EXPECT_FALSE(b.board.display.Chip()->dram.Up());
}

TEST(ChipBoard, ABar1TooSmallForTheWindowLeavesTheChipUnreachable) {
  test::DisplayBoard b(R"({"bars": [{"kind": "memory", "size": 16777216},
      {"kind": "memory", "size": 65536}]})");
  EXPECT_EQ(b.Enable(), EFI_UNSUPPORTED); // refused before anything goes through it
  EXPECT_EQ(b.board.display.Chip()->window.Counts().writes, 0u);
}

// CRTC 0xD0 reads SCU40 bits 7:6: a chip the BMC started is only waited for, a cold one is
// started by the module, which leaves SCU40 at 0xC1.
TEST(ChipBoard, CrtcD0ShowsTheChipsStartUpFlags) {
  {
    test::DisplayBoard bmc(R"({"chip": {"started_by_bmc": true}})");
    ASSERT_EQ(bmc.Enable(), EFI_SUCCESS);
    EXPECT_EQ(bmc.board.display.Chip()->window.Counts().writes, 0u);
    EXPECT_EQ(bmc.board.display.Chip()->Record().started_by, "bmc");
  }
  test::DisplayBoard cold;
  EXPECT_EQ(cold.board.display.Chip()->StartupState(), 0x00);
  ASSERT_EQ(cold.Enable(), EFI_SUCCESS);
  EXPECT_EQ(cold.board.display.Chip()->scu.regs.Get(0x40, 4), 0xC1u);
  EXPECT_EQ(cold.board.display.Chip()->Record().started_by, "module");
  EXPECT_TRUE(cold.board.display.Chip()->Record().running);
}

TEST(ChipBoard, TheDefaultBoardTrainsAColdDdr4ChipAndReportsIt) {
  test::Boot b(sim::DefaultScenario());
  const sim::BootResult result = b.Run();
  const nlohmann::json display = sim::PeiReport(b.board, result)["display"];
  ASSERT_EQ(display["enable_status"], "EFI_SUCCESS");
  const nlohmann::json &chip = display["chip"];
  EXPECT_EQ(chip["started_by"], "module");
  EXPECT_EQ(chip["running"], true);
  EXPECT_EQ(chip["dram"]["type"], "DDR4");
  EXPECT_EQ(chip["dram"]["size_mib"], 1024);
  EXPECT_EQ(chip["dram"]["size_code"], 3);
  EXPECT_EQ(chip["phy_settings"]["MCR2CC"], "0x00005757");
  EXPECT_EQ(chip["phy_settings"]["MCR2C0"], "0x00001D06");

  ASSERT_EQ(chip["attempts"].size(), 1u);
  const nlohmann::json &attempt = chip["attempts"][0];
  EXPECT_EQ(attempt["verify"], "passed");
  ASSERT_EQ(attempt["searches"].size(), 2u);
  // The first search stops at the first failure after the eye: 0x40-0x4F fail, 0x50-0x5F pass.
  const nlohmann::json &vref = attempt["searches"][0];
  EXPECT_EQ(vref["register"], "MCR2CC");
  EXPECT_EQ(vref["chosen"], "0x00005757");
  ASSERT_EQ(vref["passes"].size(), 1u);
  EXPECT_EQ(vref["passes"][0], nlohmann::json::parse(R"([
              {"from": "0x00004040", "to": "0x00004F4F", "count": 16, "passed": false},
              {"from": "0x00005050", "to": "0x00005F5F", "count": 16, "passed": true},
              {"from": "0x00006060", "to": "0x00006060", "count": 1, "passed": false}])"));
  const nlohmann::json &delay = attempt["searches"][1];
  EXPECT_EQ(delay["register"], "MCR2C0");
  EXPECT_EQ(delay["chosen"], "0x00001D06");
  // 33 + 43 trials and the final setting.
  EXPECT_EQ(attempt["phy_initialisations"]["completed"], 77);

  // Each phase took time, the reset's 3 ms stall among the configuration, and together they
  // are the chip's part of the bring-up call.
  const nlohmann::json &phases = chip["phases_us"];
  EXPECT_GT(phases["configure"].get<double>(), 3000.0);
  EXPECT_GT(phases["dram"].get<double>(), 0.0);
  EXPECT_GT(phases["finish"].get<double>(), 0.0);
  EXPECT_GE(phases["wait_running"].get<double>(), 0.0);
  const double sum = phases["configure"].get<double>() + phases["dram"].get<double>() +
                     phases["finish"].get<double>() + phases["wait_running"].get<double>();
  EXPECT_NEAR(sum, phases["total"].get<double>(), 0.01);
  EXPECT_LT(phases["total"].get<double>(), display["enable_calls"][0]["virtual_time_us"]);
}

TEST(ChipBoard, AColdDdr4BootShowsTheSameScreenAsABmcStartedOne) {
  sim::ScreenPicture a, b;
  {
    test::Boot cold(sim::DefaultScenario());
    cold.Run();
    a = cold.board.Screen();
  }
  sim::Scenario started = sim::DefaultScenario();
  started.raw["display"] = {{"chip", {{"started_by_bmc", true}}}};
  test::Boot bmc(started);
  bmc.Run();
  b = bmc.board.Screen();
  ASSERT_FALSE(Black(a));
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  EXPECT_TRUE(a.rgb == b.rgb);
}

// The example boards: how each ends, and the most virtual time its bring-up call may take (the
// chip's worst case of docs/chip_startup.md plus the PCI set-up before it). Failures also take
// at least the time of their bound: the wait did run out rather than give up early.
struct Outcome {
  EFI_STATUS status;
  const char *started_by;
  double min_s, max_s;
};

const std::map<std::string, Outcome> kExampleBoards = {
    {"cold-ddr4", {EFI_SUCCESS, "module", 0.003, 0.05}},
    {"cold-ddr4-retries", {EFI_SUCCESS, "module", 0.003, 0.2}},
    {"cold-ddr3", {EFI_SUCCESS, "module", 0.003, 0.05}},
    {"bmc-started", {EFI_SUCCESS, "bmc", 0.0, 0.03}},
    {"hang-scu-never-unlocks", {EFI_TIMEOUT, "nobody", 1.7, 1.77}},
    {"hang-mcr-never-unlocks", {EFI_TIMEOUT, "nobody", 1.25, 1.32}},
    {"hang-phy-stuck-busy", {EFI_TIMEOUT, "nobody", 6.4, 6.52}},
    {"hang-test-never-done", {EFI_TIMEOUT, "nobody", 6.4, 6.52}},
    {"hang-cache-never-ready", {EFI_TIMEOUT, "nobody", 1.25, 1.32}},
    {"hang-never-started", {EFI_TIMEOUT, "module", 5.0, 5.04}},
    // The platform's example boards: a default cold chip, other strap, BMC or PCH settings.
    {"strap-high", {EFI_SUCCESS, "module", 0.003, 0.05}},
    {"channel8-fallback", {EFI_SUCCESS, "module", 0.003, 0.05}},
    {"no-transport", {EFI_SUCCESS, "module", 0.003, 0.05}},
    {"locked-pad", {EFI_SUCCESS, "module", 0.003, 0.05}},
};

std::vector<std::string> ExampleBoards() {
  std::vector<std::string> files;
  for (const auto &entry : std::filesystem::directory_iterator(SCENARIOS_DIR)) {
    if (entry.path().extension() == ".json") {
      files.push_back(entry.path().stem().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

class ExampleBoard : public testing::TestWithParam<std::string> {};

TEST_P(ExampleBoard, BootsToItsStatedEndWithinItsBudget) {
  const auto it = kExampleBoards.find(GetParam());
  ASSERT_NE(it, kExampleBoards.end()) << "no stated outcome for scenarios/" << GetParam();
  const Outcome &want = it->second;
  test::Boot b(sim::LoadScenario(std::string(SCENARIOS_DIR) + "/" + GetParam() + ".json"));
  const sim::BootResult result = b.Run();

  const auto &calls = b.board.display.EnableCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].status, want.status);
  EXPECT_GE(calls[0].cost_us, want.min_s * 1e6);
  EXPECT_LE(calls[0].cost_us, want.max_s * 1e6);
  const nlohmann::json report = sim::PeiReport(b.board, result);
  EXPECT_EQ(report["display"]["chip"]["started_by"], want.started_by);
  if (want.status == EFI_TIMEOUT) {
    EXPECT_EQ(report["display"]["enable_status"], "EFI_TIMEOUT");
  }
  EXPECT_EQ(Black(b.board.Screen()), want.status != EFI_SUCCESS);
  if (want.status != EFI_SUCCESS) {
    EXPECT_FALSE(b.board.display.Mode().programmed);
    EXPECT_EQ(b.board.display.Chip()->scu.regs.Get(0x40, 4) & 0x40,
              want.started_by == std::string("module") ? 0x40u : 0u);
  }
  // The milestones after the screen trigger still move the record on.
  ASSERT_FALSE(result.events.empty());
  EXPECT_EQ(result.events.back().percent, std::optional<uint16_t>(30));
  EXPECT_EQ(b.Record().percent, 30);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ExampleBoard, testing::ValuesIn(ExampleBoards()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(ChipBoard, ExampleDdr3BoardSizesItsMemory) {
  test::Boot b(sim::LoadScenario(std::string(SCENARIOS_DIR) + "/cold-ddr3.json"));
  const sim::BootResult result = b.Run();
  const nlohmann::json chip = sim::PeiReport(b.board, result)["display"]["chip"];
  EXPECT_EQ(chip["dram"]["type"], "DDR3");
  EXPECT_EQ(chip["dram"]["size_code"], 2);               // 512 MiB
  EXPECT_EQ(chip["attempts"][0]["searches"].size(), 0u); // no training
}

} // namespace
