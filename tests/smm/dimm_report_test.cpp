// The DIMM report against the simulated SMM board: which slots are reported, in what order, with
// which bytes, and what a missing, broken or short HOB does.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/smm/smm_fixture.h"

using namespace smmtest;
using sim::DimmSlot;
using sim::SmmBoard;

namespace {
constexpr EFI_GUID kOtherName = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

std::vector<DimmSlot> Delivered(const SmmBoard &board) {
  std::vector<DimmSlot> slots;
  for (const sim::SinkCall &call : board.sink.Calls()) {
    slots.push_back(SlotOf(call));
  }
  return slots;
}

// A topology HOB of `length` bytes with the given bytes of entries set, built by hand from the
// published offsets rather than by the board's builder.
void AddHandBuiltHob(SmmBoard &board, size_t length, const std::vector<size_t> &offsetsSet,
                     const EFI_GUID &name = sim::kMemoryTopologyHobGuid) {
  std::vector<uint8_t> data(length - 24, 0);
  for (size_t offset : offsetsSet) {
    data.at(offset - 24) = 0x80;
  }
  board.hobs.AddGuidHob(name, data);
}
} // namespace

TEST(DimmReport, DefaultBoardReportsEverySlotInVisitingOrder) {
  SmmBoard board(ScenarioWith(nullptr));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(Delivered(board), sim::AllDimmSlots());
  EXPECT_EQ(board.SinkLookups(), 1u);
  for (const sim::SinkCall &call : board.sink.Calls()) {
    const uint8_t head[5] = {0xE2, 0x00, 0x00, 0x10, 0x01};
    EXPECT_EQ(std::memcmp(call.record.data(), head, 5), 0);
    for (size_t i = 8; i < 16; ++i) {
      EXPECT_EQ(call.record[i], 0) << "byte " << i;
    }
  }
}

TEST(DimmReport, ChosenSlotsCarryGroupChannelAndSlot) {
  SmmBoard board(ScenarioWith({{"dimms", {{3, 5, 1}, {2, 4, 1}}}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  ASSERT_EQ(board.sink.Calls().size(), 2u);
  EXPECT_EQ(sim::RecordHex(board.sink.Calls()[0]), "e2000010010501010000000000000000");
  EXPECT_EQ(sim::RecordHex(board.sink.Calls()[1]), "e2000010010702010000000000000000");
}

TEST(DimmReport, EntryOffsetsFollowThePackedLayout) {
  SmmBoard board(ScenarioWith({{"topology_hob", false}}));
  const size_t s2c4d1 = 0x14C4 + 2 * 0x1479 + 4 * 0x1FF + 0xA0;
  const size_t s0c0d0 = 0x14C4;
  AddHandBuiltHob(board, 0x5D6A, {s2c4d1, s2c4d1 + 0x9F, s0c0d0, s0c0d0 + 0x9F, 0x5D69});
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(Delivered(board), (std::vector<DimmSlot>{{0, 0, 0}, {2, 4, 1}}));
}

TEST(DimmReport, SlotNeedsBothItsFirstAndLastByte) {
  SmmBoard board(ScenarioWith({{"topology_hob", false}}));
  const size_t a = 0x14C4 + 0x1FF;         // socket 0, channel 1, slot 0: first byte only
  const size_t b = 0x14C4 + 0x1479 + 0xA0; // socket 1, channel 0, slot 1: last byte only
  const size_t c = 0x14C4 + 3 * 0x1479;    // socket 3, channel 0, slot 0: both
  AddHandBuiltHob(board, 0x5D6A, {a, b + 0x9F, c, c + 0x9F, c + 0x50});
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(Delivered(board), (std::vector<DimmSlot>{{3, 0, 0}}));
}

TEST(DimmReport, NoTopologyHobFailsWithoutLookupAndReleasesTheSmramMap) {
  SmmBoard board(ScenarioWith({{"topology_hob", false}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_DEVICE_ERROR);
  EXPECT_EQ(board.SinkLookups(), 0u);
  EXPECT_TRUE(board.sink.Calls().empty());
  EXPECT_EQ(board.core.Pool().Counts().allocated, 1u);
  EXPECT_EQ(board.core.Pool().Counts().freed, 1u);
  EXPECT_EQ(board.core.Pool().LiveCount(), 0u);
  EXPECT_EQ(board.core.Pool().Counts().bad_frees, 0u);
  EXPECT_EQ(board.core.BootPoolFrees(), 0u); // released to SMM pool, where it came from
}

TEST(DimmReport, EmptyTopologySucceedsWithoutLookupAndKeepsTheMap) {
  SmmBoard board(ScenarioWith({{"dimms", nlohmann::json::array()}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(board.SinkLookups(), 0u);
  EXPECT_TRUE(board.sink.Calls().empty());
  EXPECT_EQ(board.core.Pool().LiveCount(), 1u); // no release step after a success
  EXPECT_EQ(board.core.Calls("SmmFreePool"), 0u);
}

TEST(DimmReport, OnlyTheNameSelectsTheHobAndTheFirstMatchWins) {
  sim::Scenario scenario = ScenarioWith({{"topology_hob", false}});
  scenario.hob_capacity = 128 * 1024; // room for three topology-sized HOBs
  SmmBoard board(scenario);
  // A fully populated look-alike under another name, then the real one, then a second real one.
  board.hobs.AddGuidHob(kOtherName, sim::MemoryTopologyData(sim::AllDimmSlots()));
  board.hobs.AddGuidHob(sim::kMemoryTopologyHobGuid, sim::MemoryTopologyData({{1, 2, 0}}));
  board.hobs.AddGuidHob(sim::kMemoryTopologyHobGuid, sim::MemoryTopologyData({{0, 0, 0}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(Delivered(board), (std::vector<DimmSlot>{{1, 2, 0}}));
}

TEST(DimmReport, SinkAbsentForTwoRecordsThenPresent) {
  SmmBoard board(ScenarioWith(
      {{"dimms", {{0, 1, 0}, {1, 1, 1}, {2, 2, 0}, {3, 3, 1}}}, {"sink", {{"from_record", 3}}}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(board.SinkLookups(), 3u); // one failed lookup per lost record, then one that works
  EXPECT_EQ(Delivered(board), (std::vector<DimmSlot>{{2, 2, 0}, {3, 3, 1}}));
}

TEST(DimmReport, AbsentSinkDropsEveryRecordButTheReportSucceeds) {
  SmmBoard board(ScenarioWith({{"sink", {{"present", false}}}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(board.SinkLookups(), 48u);
  EXPECT_TRUE(board.sink.Calls().empty());
}

TEST(DimmReport, SinkErrorsDoNotStopTheWalk) {
  SmmBoard board(ScenarioWith({{"sink", {{"status", "EFI_DEVICE_ERROR"}}}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(board.sink.Calls().size(), 48u);
  EXPECT_EQ(board.SinkLookups(), 1u);
}

TEST(DimmReport, EveryCallPassesThisZeroZeroSixteenAndAResultLocation) {
  SmmBoard board(ScenarioWith(nullptr));
  ASSERT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  ASSERT_FALSE(board.sink.Calls().empty());
  for (const sim::SinkCall &call : board.sink.Calls()) {
    EXPECT_EQ(call.self, reinterpret_cast<UINTN>(board.sink.Interface()));
    EXPECT_EQ(call.arg3, 0u);
    EXPECT_EQ(call.arg4, 0u);
    EXPECT_EQ(call.size, 16u);
    EXPECT_NE(call.result, 0u);
  }
}

// Unsound inputs: each ends the search or bounds the reads instead of leaving the HOB list.
TEST(DimmReportInputs, NoHobListIsTreatedAsAnAbsentHob) {
  SmmBoard board(ScenarioWith({{"missing", {"hob_list"}}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_DEVICE_ERROR);
  EXPECT_EQ(board.SinkLookups(), 0u);
  EXPECT_EQ(board.core.Pool().LiveCount(), 0u);
}

TEST(DimmReportInputs, HobLengthBelowTheHeaderEndsTheWalk) {
  for (uint16_t badLength : {uint16_t{0}, uint16_t{7}}) {
    SmmBoard board(ScenarioWith({{"topology_hob", false}}));
    void *hob = nullptr;
    ASSERT_EQ(board.hobs.Create(EFI_HOB_TYPE_UNUSED, 16, &hob), EFI_SUCCESS);
    board.hobs.AddGuidHob(sim::kMemoryTopologyHobGuid, sim::MemoryTopologyData({{0, 0, 0}}));
    std::memcpy(static_cast<uint8_t *>(hob) + 2, &badLength, 2);
    EXPECT_EQ(board.Load(DriverEntry), EFI_DEVICE_ERROR) << "length " << badLength;
    EXPECT_EQ(board.SinkLookups(), 0u);
  }
}

TEST(DimmReportInputs, GuidHobTooShortForANameIsSkippedByLength) {
  SmmBoard board(ScenarioWith({{"topology_hob", false}}));
  void *hob = nullptr;
  ASSERT_EQ(board.hobs.Create(EFI_HOB_TYPE_GUID_EXTENSION, 16, &hob), EFI_SUCCESS);
  std::memcpy(static_cast<uint8_t *>(hob) + 8, &sim::kMemoryTopologyHobGuid, 8); // half a name
  board.hobs.AddGuidHob(sim::kMemoryTopologyHobGuid, sim::MemoryTopologyData({{0, 5, 1}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_EQ(Delivered(board), (std::vector<DimmSlot>{{0, 5, 1}}));
}

TEST(DimmReportInputs, ShortHobCountsSlotsBeyondItsEndAsUnpopulated) {
  // One byte short of the full length: the last slot's last byte is missing.
  SmmBoard board(ScenarioWith({{"topology_hob", false}}));
  std::vector<uint8_t> data = sim::MemoryTopologyData(sim::AllDimmSlots());
  data.pop_back();
  board.hobs.AddGuidHob(sim::kMemoryTopologyHobGuid, data);
  // What follows the HOB looks populated if read past the end.
  board.hobs.AddGuidHob(kOtherName, std::vector<uint8_t>(64, 0xFF));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  std::vector<DimmSlot> expected = sim::AllDimmSlots();
  expected.pop_back();
  EXPECT_EQ(Delivered(board), expected);
}

TEST(DimmReportInputs, HobOfOnlyHeaderAndNameReportsNothing) {
  SmmBoard board(ScenarioWith({{"topology_hob", false}}));
  board.hobs.AddGuidHob(sim::kMemoryTopologyHobGuid, {});
  board.hobs.AddGuidHob(kOtherName, std::vector<uint8_t>(0x6000, 0xFF));
  EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
  EXPECT_TRUE(board.sink.Calls().empty());
  EXPECT_EQ(board.SinkLookups(), 0u);
}
