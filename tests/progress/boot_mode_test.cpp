// The start trigger in each boot mode, and the failures it must survive.
#include <gtest/gtest.h>

#include <cstring>

#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "tests/progress/boot_fixture.h"

namespace {

using test::Boot;

class QuietBootModes : public ::testing::TestWithParam<const char *> {};

TEST_P(QuietBootModes, LeaveOnlyTheRecord) {
  Boot b(std::string(R"({"boot_mode": )") + GetParam() +
         R"(, "events": ["ProgressStart", "ScreenA", "Milestone5", "PermanentMemory", "Footer"]})");
  const size_t ppisBefore = b.board.core.InstalledPpis().size();
  b.Run();
  const uint8_t *hob = b.board.core.Hobs().FindGuidHob(ProgressRecordGuid);
  ASSERT_NE(hob, nullptr);
  uint16_t type, length;
  std::memcpy(&type, hob, 2);
  std::memcpy(&length, hob + 2, 2);
  EXPECT_EQ(type, 0x0004);
  EXPECT_EQ(length, 32);                // the 28-byte record, rounded up by the core
  EXPECT_EQ(hob[24], 1);                // Marker
  EXPECT_EQ(hob[26] | hob[27] << 8, 0); // Percent
  // The core leaves the body as HOB memory held it: the reserved byte and the padding are the
  // module's to clear.
  for (const size_t at : {size_t{25}, size_t{28}, size_t{29}, size_t{30}, size_t{31}}) {
    EXPECT_EQ(hob[at], 0) << "byte " << at;
  }
  EXPECT_EQ(b.board.core.Notifies().size(), 1u); // only the start list
  // The five platform events are the only PPIs installed after load.
  EXPECT_EQ(b.board.core.InstalledPpis().size(), ppisBefore + 5);
  EXPECT_EQ(b.Touched(), 0u);
  EXPECT_EQ(b.board.machine.bus.Counts().mmio.writes, 0u);
  EXPECT_EQ(b.board.machine.bus.Counts().io.writes, 0u);
}

INSTANTIATE_TEST_SUITE_P(S3AndRecovery, QuietBootModes,
                         ::testing::Values("\"s3\"", "17", "\"recovery\"", "32"));

TEST(BootModes, OtherModesArm) {
  Boot b(R"({"boot_mode": 2, "events": ["ProgressStart", "ScreenA"]})");
  b.Run();
  EXPECT_EQ(b.Record().percent, 1);
}

TEST(BootModes, FailedBootModeReadLeavesTheModuleInert) {
  Boot b(R"({"events": ["ProgressStart", "ScreenA", "Milestone5"]})");
  b.board.core.faults.get_boot_mode = true;
  b.Run();
  // The record was made before the boot mode was asked for, and stays at 0.
  EXPECT_TRUE(b.Record().present);
  EXPECT_EQ(b.Record().percent, 0);
  EXPECT_EQ(b.board.core.Notifies().size(), 1u);
  EXPECT_EQ(b.Touched(), 0u);
  ASSERT_FALSE(b.board.core.NotifyRuns().empty());
  EXPECT_EQ(b.board.core.NotifyRuns()[0].status, EFI_DEVICE_ERROR);
}

// Without HOB memory the module cannot keep that its screen came up: the screen callback draws its
// 1 % bar, later callbacks draw nothing (the frame buffer's address may belong to another device).
TEST(BootModes, FullHobMemoryMeansNoRecordAndNoDrawingAfterTheScreen) {
  // Room for the PHIT (56) and end (8) HOBs only.
  Boot b(R"({"hob_capacity": 64, "events": ["ProgressStart", "ScreenA", "Milestone10"]})");
  auto r = b.Run();
  EXPECT_FALSE(b.Record().present);
  for (const auto &e : r.events) {
    EXPECT_FALSE(e.percent.has_value()) << e.name;
  }
  EXPECT_EQ(b.RunLength(597, 251), 7u);
  EXPECT_EQ(b.Pixel(7, 597), 250);
  EXPECT_EQ(b.board.core.Hobs().Walk().back().type, 0xFFFF);
}

TEST(BootModes, UnreadableHobListDrawsOnlyTheScreen) {
  Boot b(R"({"events": ["ProgressStart", "ScreenA", "Milestone15"]})");
  b.board.core.faults.get_hob_list = true;
  b.Run();
  EXPECT_EQ(b.Record().percent, 0);     // created, never found again
  EXPECT_EQ(b.RunLength(594, 251), 7u); // the screen's 1 %; no state, so no milestone drawing
}

} // namespace
