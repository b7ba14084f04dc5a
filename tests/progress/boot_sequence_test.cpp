// The notification chain end to end: which callbacks run for which trigger, in which order, and
// what the progress record and the screen hold afterwards.
#include <gtest/gtest.h>

#include <vector>

#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/notify_lists.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "sim/pei/ppi_names.h"
#include "tests/progress/boot_fixture.h"

namespace {

using test::Boot;

std::vector<int> Percents(const sim::BootResult &r) {
  std::vector<int> p;
  for (const auto &e : r.events) {
    p.push_back(e.percent ? *e.percent : -1);
  }
  return p;
}

size_t Runs(const Boot &b, EFI_PEIM_NOTIFY_ENTRY_POINT callback) {
  size_t n = 0;
  for (const auto &run : b.board.core.NotifyRuns()) {
    n += run.notify == callback;
  }
  return n;
}

TEST(BootSequence, NormalBootRecordFollowsEachMilestone) {
  Boot b(R"({"events": ["ProgressStart", "ScreenA", "Milestone5", "Milestone10", "Milestone15"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{0, 1, 5, 10, 15}));
  auto rec = b.Record();
  EXPECT_TRUE(rec.present);
  EXPECT_EQ(rec.marker, 1);
  EXPECT_EQ(b.RunLength(594, 251), 114u); // 15 % bar
  EXPECT_EQ(b.RunLength(599, 251), 114u);
}

// Stalls of one bring-up on the default board: root port functions 0 to 5 tried, then the
// display bridge's bus numbers.
constexpr uint64_t kBringUpStallUs = 7000;
// The default board's cold chip: one reset of its memory controller, in the first bring-up only.
constexpr uint64_t kChipStartUpStallUs = 3000;

TEST(BootSequence, DefaultBoardRunsThirtyThenTwentyForPermanentMemory) {
  Boot b(sim::DefaultScenario());
  auto r = b.Run();
  // PermanentMemory runs OnProgress30 (registered first, with the milestone list) and then
  // OnProgress20 (registered later, with the screen list): the record ends at 20.
  EXPECT_EQ(Percents(r), (std::vector<int>{0, 1, 5, 10, 15, 20, 30, 30, 30}));
  const auto &runs = b.board.core.NotifyRuns();
  std::vector<EFI_PEIM_NOTIFY_ENTRY_POINT> forPermanentMemory;
  for (const auto &run : runs) {
    if (GuidEquals(&run.guid, &gEfiPeiPermanentMemoryInstalledPpiGuid)) {
      forPermanentMemory.push_back(run.notify);
    }
  }
  EXPECT_EQ(forPermanentMemory,
            (std::vector<EFI_PEIM_NOTIFY_ENTRY_POINT>{OnProgress30, OnProgress20}));
  EXPECT_EQ(b.board.core.StallUs(), 1000u + kBringUpStallUs + kChipStartUpStallUs);
}

TEST(BootSequence, PermanentMemoryAfterThirtyLeavesTheLongerBarVisible) {
  Boot b(R"({"events": ["ProgressStart", "ScreenA", "Milestone30", "PermanentMemory"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{0, 1, 30, 20}));
  for (uint32_t y = 594; y < 600; ++y) {
    EXPECT_EQ(b.RunLength(y, 251), 228u) << "row " << y;
  }
}

TEST(BootSequence, PermanentMemoryBeforeTheScreenRunsOnlyThirty) {
  Boot b(R"({"events": ["ProgressStart", "PermanentMemory", "ScreenA"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{0, 30, 1}));
  EXPECT_EQ(Runs(b, OnProgress30), 1u);
  // The screen list was registered after the PPI was installed, so a PI core runs its entry at
  // registration: OnProgress20 runs inside ShowBootScreenA, before the 1 % bar is recorded.
  EXPECT_EQ(Runs(b, OnProgress20), 1u);
}

TEST(BootSequence, BothScreenTriggersRunEverythingTwice) {
  Boot b(R"({"events": ["ProgressStart", "ScreenA", "ScreenB", "Milestone5"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{0, 1, 1, 5}));
  EXPECT_EQ(Runs(b, ShowBootScreenA), 1u);
  EXPECT_EQ(Runs(b, ShowBootScreenB), 1u);
  // ScreenNotifyList is registered once per screen callback, so one PPI runs its entry twice.
  EXPECT_EQ(Runs(b, OnProgress5), 2u);
  size_t screenLists = 0;
  for (const auto *n : b.board.core.Notifies()) {
    screenLists += n == &ScreenNotifyList[0];
  }
  EXPECT_EQ(screenLists, 2u);
  // Only screen A waits for the host window to settle; both repeat the PCI set-up.
  EXPECT_EQ(b.board.core.StallUs(), 1000u + 2 * kBringUpStallUs + kChipStartUpStallUs);
}

TEST(BootSequence, ScreenBAloneDoesNotWaitForTheHostWindow) {
  Boot b(R"({"events": ["ProgressStart", "ScreenB"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{0, 1}));
  EXPECT_EQ(b.board.core.StallUs(), kBringUpStallUs + kChipStartUpStallUs);
  EXPECT_EQ(b.RunLength(594, 251), 7u);
  EXPECT_EQ(b.Pixel(7, 594), 250);
}

TEST(BootSequence, TriggersInstalledBeforeLoadRunAtRegistration) {
  Boot b(R"({"preinstalled": ["ProgressStart", "ScreenA"], "events": ["Milestone10"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{10}));
  EXPECT_EQ(Runs(b, OnProgressStart), 1u);
  EXPECT_EQ(Runs(b, ShowBootScreenA), 1u);
}

TEST(BootSequence, MilestonesBeforeTheScreenAreNotAwaited) {
  Boot b(R"({"events": ["ProgressStart", "Milestone5", "Milestone10"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(b.Touched(), 0u);
}

TEST(BootSequence, NothingHappensBeforeTheStartTrigger) {
  Boot b(R"({"events": ["ScreenA", "Milestone5"]})");
  auto r = b.Run();
  EXPECT_EQ(Percents(r), (std::vector<int>{-1, -1}));
  EXPECT_EQ(b.Touched(), 0u);
  ASSERT_EQ(b.board.core.Notifies().size(), 1u);
  EXPECT_EQ(b.board.core.Notifies()[0], &StartNotifyList[0]);
}

TEST(BootSequence, ArmingInstallsTheSignalPpiAfterTheMilestoneList) {
  Boot b(R"({"events": ["ProgressStart"]})");
  b.Run();
  const auto &ppis = b.board.core.InstalledPpis();
  ASSERT_FALSE(ppis.empty());
  EXPECT_TRUE(GuidEquals(ppis.back()->Guid, &ProgressReadyPpiGuid));
  EXPECT_EQ(ppis.back()->Ppi, nullptr);
  EXPECT_EQ(ppis.back()->Flags, 0x80000010u);
  EXPECT_EQ(b.board.core.Notifies().size(), 1u + 4u);
}

TEST(BootSequence, ModuleAndPlatformAgreeOnTriggerGuids) {
  const std::pair<const char *, const EFI_GUID *> pairs[] = {
      {"ProgressStart", &ProgressStartTriggerGuid},
      {"ScreenA", &ScreenTriggerAGuid},
      {"ScreenB", &ScreenTriggerBGuid},
      {"Milestone5", &Milestone5Guid},
      {"Milestone10", &Milestone10Guid},
      {"Milestone15", &Milestone15Guid},
      {"Milestone30", &Milestone30Guid},
      {"Footer", &FooterTriggerGuid},
  };
  for (const auto &[name, guid] : pairs) {
    EXPECT_TRUE(GuidEquals(sim::PlatformPpiGuid(name), guid)) << name;
  }
}

TEST(BootSequence, DescriptorListsEndWithTheTerminateFlag) {
  EXPECT_EQ(StartNotifyList[0].Flags, 0x80000020u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(MilestoneNotifyList[i].Flags, 0x20u);
  }
  EXPECT_EQ(MilestoneNotifyList[3].Flags, 0x80000020u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(ScreenNotifyList[i].Flags, 0x20u);
  }
  EXPECT_EQ(ScreenNotifyList[5].Flags, 0x80000020u);
}

} // namespace
