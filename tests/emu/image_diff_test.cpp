// Differential check: every board boots twice, host build and firmware image, and must give the
// same report (less the image's processor figures), the same screenshot bytes and the same device
// accesses. The boards: the built-in default, the boot tests' boards in tests/emu/boards, and
// every scenarios/*.json of the source tree.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/emu/image_run_support.h"

namespace {

std::vector<std::string> Boards() {
  std::vector<std::string> boards = {"default"};
  for (const char *dir : {EMU_BOARDS_DIR, SOURCE_DIR "/scenarios"}) {
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
  std::string name = std::filesystem::path(info.param).stem().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  return std::filesystem::path(info.param).parent_path().filename().string() + "_" + name;
}

class ImageMatchesHostBuild : public testing::TestWithParam<std::string> {};

TEST_P(ImageMatchesHostBuild, SameReportScreenAndDeviceAccesses) {
  const sim::Scenario scenario =
      GetParam() == "default" ? sim::DefaultScenario() : sim::LoadScenario(GetParam());
  const emutest::BootRecord host = emutest::HostBoot(scenario);
  const emutest::BootRecord image = emutest::ImageBoot(scenario, emutest::ImageBytes());
  EXPECT_EQ(emutest::FirstDifference(host, image), "") << "scenario " << GetParam();
  ASSERT_TRUE(image.cpu.has_value());
  for (const sim::emu::GuestError &e : image.cpu->errors) {
    ADD_FAILURE() << "scenario " << GetParam() << ": guest error at 0x" << std::hex << e.pc << ": "
                  << e.what;
  }
  EXPECT_EQ(image.cpu->flash_writes, 0u) << "scenario " << GetParam();
  EXPECT_LT(image.cpu->stack_bytes, 4096u) << "scenario " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Boards, ImageMatchesHostBuild, testing::ValuesIn(Boards()), TestName);

} // namespace
