// Differential check: every board boots twice, host build and firmware image, and must give the
// same report (less the image's processor figures), the same screenshot bytes and the same device
// accesses; an SMM load the same report, DIMM records and device accesses. The boards: the
// built-in default, the boot tests' boards in tests/emu/boards (PEI) and tests/emu/boards_smm,
// and every scenarios/*.json of the source tree, which both modules boot, the hang-* boards
// included (polls of millions of reads: the longest image run takes seconds).
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/emu/image_run_support.h"

namespace {

std::vector<std::string> Boards(const char *boardsDir) {
  std::vector<std::string> boards = {"default"};
  for (const char *dir : {boardsDir, SOURCE_DIR "/scenarios"}) {
    if (!std::filesystem::is_directory(dir)) {
      continue;
    }
    std::vector<std::string> found;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() == ".json") {
        found.push_back(entry.path().string());
      }
    }
    std::sort(found.begin(), found.end());
    boards.insert(boards.end(), found.begin(), found.end());
  }
  return boards;
}

std::string TestName(const testing::TestParamInfo<std::string> &info) {
  if (info.param == "default") {
    return "default";
  }
  std::string name = std::filesystem::path(info.param).stem().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  return std::filesystem::path(info.param).parent_path().filename().string() + "_" + name;
}

sim::Scenario Load(const std::string &board) {
  return board == "default" ? sim::DefaultScenario() : sim::LoadScenario(board);
}

void ExpectCleanRun(const sim::emu::CpuReport &cpu, const std::string &board) {
  for (const sim::emu::GuestError &e : cpu.errors) {
    ADD_FAILURE() << "scenario " << board << ": guest error at 0x" << std::hex << e.pc << ": "
                  << e.what;
  }
  EXPECT_EQ(cpu.flash_writes, 0u) << "scenario " << board;
}

class ImageMatchesHostBuild : public testing::TestWithParam<std::string> {};

TEST_P(ImageMatchesHostBuild, SameReportScreenAndDeviceAccesses) {
  const sim::Scenario scenario = Load(GetParam());
  const emutest::BootRecord host = emutest::HostBoot(scenario);
  const emutest::BootRecord image = emutest::ImageBoot(scenario, emutest::ImageBytes());
  std::string difference = emutest::FirstDifference(host, image);
  if (!difference.empty()) { // found again with every access kept, to name the first that differs
    difference =
        emutest::FirstDifference(emutest::HostBoot(scenario, true),
                                 emutest::ImageBoot(scenario, emutest::ImageBytes(), true));
  }
  EXPECT_EQ(difference, "") << "scenario " << GetParam();
  ASSERT_TRUE(image.cpu.has_value());
  ExpectCleanRun(*image.cpu, GetParam());
  EXPECT_LT(image.cpu->stack_bytes, 4096u) << "scenario " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Boards, ImageMatchesHostBuild, testing::ValuesIn(Boards(EMU_BOARDS_DIR)),
                         TestName);

class SmmImageMatchesHostBuild : public testing::TestWithParam<std::string> {};

TEST_P(SmmImageMatchesHostBuild, SameReportRecordsAndDeviceAccesses) {
  const sim::Scenario scenario = Load(GetParam());
  const emutest::SmmRecord host = emutest::HostSmmLoad(scenario);
  const emutest::SmmRecord image = emutest::ImageSmmLoad(scenario);
  std::string difference = emutest::FirstDifference(host, image);
  if (!difference.empty()) {
    difference = emutest::FirstDifference(emutest::HostSmmLoad(scenario, true),
                                          emutest::ImageSmmLoad(scenario, true));
  }
  EXPECT_EQ(difference, "") << "scenario " << GetParam();
  ASSERT_TRUE(image.cpu.has_value());
  ExpectCleanRun(*image.cpu, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Boards, SmmImageMatchesHostBuild,
                         testing::ValuesIn(Boards(EMU_BOARDS_DIR "_smm")), TestName);

} // namespace
