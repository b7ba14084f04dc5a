// Volumes built by fv_builder, read back by the simulator's FFS walk; the builder's refusals;
// and the walk's handling of pad files, deleted files, erased space and malformed headers.
#include "sim/pi/ffs_walk.h"
#include "tests/image/image_support.h"

namespace {

using test::File;
using test::Guid;
using test::Volume;

constexpr uint64_t kBase = 0x1000;

sim::FlashView ViewOf(const std::vector<uint8_t> &v) {
  return {[&v](uint64_t a, unsigned w) {
            uint64_t x = 0;
            for (unsigned i = 0; i < w; ++i) {
              EXPECT_LT(a + i - kBase, v.size()) << "read outside the volume";
              x |= uint64_t{v.at(a + i - kBase)} << (8 * i);
            }
            return x;
          },
          kBase, kBase + v.size()};
}

std::vector<uint64_t> Walk(const std::vector<uint8_t> &v, uint8_t type, EFI_STATUS *end) {
  std::vector<uint64_t> files;
  uint64_t handle = 0;
  while (!EFI_ERROR(*end = sim::FindNextFile(ViewOf(v), type, kBase, &handle))) {
    files.push_back(handle);
  }
  return files;
}

TEST(FvBuilder, FilesReadBackInOrderWithTheirRawSections) {
  const std::vector<uint8_t> v =
      Volume({File(Guid(1), {1, 2, 3}), File(Guid(2), {4, 5, 6, 7, 8}), File(Guid(3), {9})});
  EXPECT_EQ(v.size() % sim::kFvBlockSize, 0u);
  EFI_STATUS end;
  const std::vector<uint64_t> files = Walk(v, EFI_FV_FILETYPE_FREEFORM, &end);
  EXPECT_EQ(end, EFI_NOT_FOUND);
  ASSERT_EQ(files.size(), 3u);
  for (uint64_t f : files) {
    EXPECT_EQ((f - kBase) % 8, 0u);
  }
  uint64_t data = 0, length = 0;
  ASSERT_EQ(sim::FindSectionData(ViewOf(v), EFI_SECTION_RAW, files[1], &data, &length),
            EFI_SUCCESS);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(v[data - kBase], 4);
}

TEST(FvBuilder, RefusesDuplicateNamesAndContentsThatDoNotFit) {
  EXPECT_THROW(Volume({File(Guid(1), {1}), File(Guid(1), {2})}), sim::FvBuildError);
  EXPECT_THROW(Volume({File(Guid(1), std::vector<uint8_t>(5000))}, 0x1000), sim::FvBuildError);
  EXPECT_THROW(Volume({File(Guid(1), {1})}, 0x1800), sim::FvBuildError); // not whole blocks
  EXPECT_NO_THROW(Volume({File(Guid(1), std::vector<uint8_t>(5000))}, 0x2000));
}

TEST(FfsWalk, SkipsPadDeletedAndOtherTypesAndStopsAtErasedSpace) {
  std::vector<uint8_t> v =
      Volume({File(Guid(1), {1}), File(Guid(2), {2}, EFI_FV_FILETYPE_FFS_PAD), File(Guid(3), {3}),
              File(Guid(4), {4}, EFI_FV_FILETYPE_RAW), File(Guid(5), {5})});
  EFI_STATUS end;
  std::vector<uint64_t> all = Walk(v, EFI_FV_FILETYPE_ALL, &end);
  ASSERT_EQ(all.size(), 4u); // the pad file is never returned
  // Mark file 3 deleted (erase polarity 1: clear the deleted bit).
  v[all[1] - kBase + 23] &= static_cast<uint8_t>(~EFI_FILE_DELETED);
  const std::vector<uint64_t> freeform = Walk(v, EFI_FV_FILETYPE_FREEFORM, &end);
  ASSERT_EQ(freeform.size(), 2u);
  EXPECT_EQ(freeform[0], all[0]);
  EXPECT_EQ(freeform[1], all[3]);
}

TEST(FfsWalk, MalformedFilesEndTheWalkWithAnError) {
  const std::vector<uint8_t> good = Volume({File(Guid(1), {1}), File(Guid(2), {2})});
  EFI_STATUS end;
  const std::vector<uint64_t> files = Walk(good, EFI_FV_FILETYPE_ALL, &end);
  const size_t second = files[1] - kBase;
  struct Case {
    const char *what;
    size_t at;
    uint8_t value;
  };
  for (const Case &c : {Case{"size below the header", second + 20, 4},
                        Case{"size past the volume", second + 22, 0x7F},
                        Case{"bad header checksum", second + 16, 0x00}}) {
    std::vector<uint8_t> v = good;
    v[c.at] = c.value;
    if (c.at != second + 16) { // keep the checksum right so that the size is what fails
      uint8_t sum = 0;
      for (size_t i = 0; i < 24; ++i) {
        if (i != 16 && i != 17 && i != 23) {
          sum = static_cast<uint8_t>(sum + v[second + i]);
        }
      }
      v[second + 16] = static_cast<uint8_t>(0x100 - sum);
    }
    const std::vector<uint64_t> got = Walk(v, EFI_FV_FILETYPE_ALL, &end);
    EXPECT_EQ(got.size(), 1u) << c.what;
    EXPECT_EQ(end, EFI_VOLUME_CORRUPTED) << c.what;
  }
}

TEST(FfsWalk, AVolumeHeaderWithABadChecksumOrLengthIsNotOpened) {
  std::vector<uint8_t> v = Volume({File(Guid(1), {1})});
  sim::FfsVolumeInfo info;
  EXPECT_EQ(sim::OpenVolume(ViewOf(v), kBase, &info), EFI_SUCCESS);
  std::vector<uint8_t> bad = v;
  bad[kFvHeaderLengthOffset + 4] ^= 1; // inside the header: checksum fails
  EXPECT_EQ(sim::OpenVolume(ViewOf(bad), kBase, &info), EFI_VOLUME_CORRUPTED);
  bad = v;
  bad[kFvLengthOffset + 3] = 0x10; // longer than the flash window
  EXPECT_EQ(sim::OpenVolume(ViewOf(bad), kBase, &info), EFI_VOLUME_CORRUPTED);
}

} // namespace
