// Finding the progress record in a HOB list: GUID HOBs before it, lists without it, and lists a
// careless producer has corrupted.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "modules/boot_progress_pei/progress/progress_record.h"
#include "sim/pei/pei_core.h"
#include "sim/pi/hob_list.h"

namespace {

constexpr EFI_GUID kOther = {0x11111111, 0x2222, 0x3333, {4, 4, 5, 5, 6, 6, 7, 7}};

// A hand-made HOB list: HOBs of (type, length) with a name for GUID HOBs.
class RawHobs {
public:
  RawHobs &Add(uint16_t type, uint16_t length, const EFI_GUID *name = nullptr) {
    const size_t at = bytes_.size();
    bytes_.resize(at + (length < 8 ? 8 : length), 0);
    std::memcpy(&bytes_[at], &type, 2);
    std::memcpy(&bytes_[at + 2], &length, 2);
    if (name != nullptr) {
      std::memcpy(&bytes_[at + 8], name, 16);
    }
    offsets_.push_back(at);
    return *this;
  }
  VOID *At(size_t index) { return &bytes_[offsets_.at(index)]; }

private:
  std::vector<uint8_t> bytes_;
  std::vector<size_t> offsets_;
};

TEST(ProgressRecordLookup, SkipsOtherGuidHobsByLength) {
  RawHobs h;
  h.Add(0x0001, 56)
      .Add(0x0004, 40, &kOther)
      .Add(0x0003, 48)
      .Add(0x0004, 24, &kOther)
      .Add(0x0004, 28, &ProgressRecordGuid)
      .Add(0xFFFF, 8);
  VOID *position = h.At(0);
  ASSERT_EQ(FindGuidHob(&ProgressRecordGuid, &position), EFI_SUCCESS);
  EXPECT_EQ(position, h.At(4));
}

TEST(ProgressRecordLookup, StartingHobIsNeverACandidate) {
  RawHobs h;
  h.Add(0x0004, 28, &ProgressRecordGuid).Add(0x0004, 28, &ProgressRecordGuid).Add(0xFFFF, 8);
  VOID *position = h.At(0);
  ASSERT_EQ(FindGuidHob(&ProgressRecordGuid, &position), EFI_SUCCESS);
  EXPECT_EQ(position, h.At(1));
}

TEST(ProgressRecordLookup, AbsentRecordLeavesThePositionAlone) {
  RawHobs h;
  h.Add(0x0001, 56).Add(0x0004, 32, &kOther).Add(0xFFFF, 8);
  VOID *position = h.At(0);
  EXPECT_EQ(FindGuidHob(&ProgressRecordGuid, &position), EFI_NOT_FOUND);
  EXPECT_EQ(position, h.At(0));
}

TEST(ProgressRecordLookup, NextGuidHobAtTheEnd) {
  RawHobs h;
  h.Add(0x0001, 56).Add(0x0003, 48).Add(0xFFFF, 8);
  VOID *cursor = h.At(2);
  EXPECT_EQ(NextGuidHob(&cursor), EFI_NOT_FOUND);
  cursor = h.At(0);
  EXPECT_EQ(NextGuidHob(&cursor), EFI_NOT_FOUND); // no GUID HOB follows
  EXPECT_EQ(cursor, h.At(0));
}

TEST(ProgressRecordLookup, NullArgumentsAreRejected) {
  VOID *nothing = nullptr;
  EXPECT_EQ(NextGuidHob(nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(NextGuidHob(&nothing), EFI_INVALID_PARAMETER);
  EXPECT_EQ(FindGuidHob(nullptr, &nothing), EFI_INVALID_PARAMETER);
  EXPECT_EQ(FindGuidHob(&ProgressRecordGuid, nullptr), EFI_INVALID_PARAMETER);
}

// A length the walk cannot step over ends it like the end-of-list HOB. Without the guard a length
// of 0 would spin forever on one HOB, and 1 to 7 would read headers out of step with the list.
class MalformedLength : public ::testing::TestWithParam<uint16_t> {};

TEST_P(MalformedLength, EndsTheWalk) {
  RawHobs h;
  h.Add(0x0001, 56).Add(0x0003, GetParam()).Add(0x0004, 28, &ProgressRecordGuid).Add(0xFFFF, 8);
  VOID *position = h.At(0);
  EXPECT_EQ(FindGuidHob(&ProgressRecordGuid, &position), EFI_NOT_FOUND);
  EXPECT_EQ(position, h.At(0));
}

INSTANTIATE_TEST_SUITE_P(BelowTheHeader, MalformedLength, ::testing::Values(0, 1, 4, 7));

TEST(ProgressRecordLookup, FindProgressRecordThroughTheServices) {
  sim::Machine machine;
  sim::PeiCore core(machine, 0);
  core.Hobs().AddGuidHob(kOther, std::vector<uint8_t>(12, 0xAA));
  ProgressRecord *record = nullptr;
  EXPECT_EQ(FindProgressRecord(core.Services(), &record), EFI_NOT_FOUND);
  void *made = core.Hobs().AddGuidHob(ProgressRecordGuid, std::vector<uint8_t>(4, 0));
  ASSERT_EQ(FindProgressRecord(core.Services(), &record), EFI_SUCCESS);
  EXPECT_EQ(static_cast<void *>(record), made);
  core.faults.get_hob_list = true;
  EXPECT_EQ(FindProgressRecord(core.Services(), &record), EFI_NOT_READY);
}

} // namespace
