// DrawImageFile's search: which volumes are examined, which file wins, and what happens when the
// file, its section or its bytes are missing.
#include "modules/boot_progress_pei/image/bmp_format.h"
#include "tests/image/image_support.h"
#include "uefi/pi_firmware_volume.h"

namespace {

using test::File;
using test::Guid;
using test::ImageBoard;
using test::MakeBmp;
using test::Volume;

std::vector<uint8_t> Marked(uint8_t index, uint32_t width = 4) {
  test::BmpSpec s = test::Solid(width, 2);
  s.pixel = [index](uint32_t, uint32_t) { return index; };
  return MakeBmp(s);
}

TEST(VolumeLookup, TheFirstVolumeInAddressOrderWins) {
  ImageBoard b;
  b.Place(0xFFC00000, Volume({File(Guid(1), Marked(9))}));
  b.Place(0xFF800000, Volume({File(Guid(2), Marked(3)), File(Guid(1), Marked(7))}));
  uint32_t bottom = 10, left = 10;
  b.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(b.Px(10, 589), 7);
  ASSERT_EQ(b.board.images.Calls().size(), 1u);
  EXPECT_EQ(b.board.images.Calls()[0].lookup.volume, 0xFF800000u);
}

TEST(VolumeLookup, TheTopSixtyFourKilobytesAreNeverExamined) {
  uint32_t bottom = 10, left = 10;
  {
    ImageBoard b;
    b.Place(0xFFFF0000, Volume({File(Guid(1), Marked(9))}, 0x10000));
    b.Draw(Guid(1), &bottom, &left, 0);
    EXPECT_EQ(b.Touched(), 0u);
  }
  // The same volume one step lower is found.
  ImageBoard c;
  c.Place(0xFFFE0000, Volume({File(Guid(1), Marked(9))}, 0x10000));
  c.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(c.Px(10, 589), 9);
}

TEST(VolumeLookup, AVolumeLengthOfSixteenMegabytesIsSkipped) {
  ImageBoard b;
  std::vector<uint8_t> v = Volume({File(Guid(1), Marked(9))});
  const uint64_t length = 0x1000000;
  std::memcpy(&v[kFvLengthOffset], &length, sizeof length);
  b.Place(0xFF000000, v);
  b.Place(0xFF400000, Volume({File(Guid(1), Marked(5))}));
  uint32_t bottom = 10, left = 10;
  b.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(b.Px(10, 589), 5);
}

TEST(VolumeLookup, AMissingFileDrawsNothingAndKeepsTheMargins) {
  ImageBoard b;
  b.Place(0xFF800000, Volume({File(Guid(2), Marked(3))}));
  uint32_t bottom = 0, left = 0;
  b.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(bottom, 0u);
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(b.Touched(), 0u);
  EXPECT_EQ(b.DacEntryWrites(), 0u);
}

TEST(VolumeLookup, OnlyFreeformFilesAreCandidates) {
  ImageBoard b;
  b.Place(0xFF800000, Volume({File(Guid(1), Marked(3), EFI_FV_FILETYPE_RAW)}));
  b.Place(0xFF900000, Volume({File(Guid(1), Marked(4))}));
  uint32_t bottom = 10, left = 10;
  b.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(b.Px(10, 589), 4);
}

TEST(VolumeLookup, AFoundFileWithoutARawSectionEndsTheSearch) {
  // The raw section fv_builder wrote becomes a PE32 section (type 0x10).
  std::vector<uint8_t> v = Volume({File(Guid(1), Marked(3))});
  v[0x48 + 24 + 3] = 0x10;
  ImageBoard c;
  c.Place(0xFF800000, v);
  c.Place(0xFF900000, Volume({File(Guid(1), Marked(4))}));
  uint32_t bottom = 10, left = 10;
  c.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(c.Touched(), 0u);
  EXPECT_EQ(c.board.images.Calls().at(0).why_not(), "the file has no raw section");
}

TEST(VolumeLookup, ASectionShorterThanItsBitmapIsNotReadPastItsEnd) {
  ImageBoard b;
  std::vector<uint8_t> v = Volume({File(Guid(1), Marked(3, 16))});
  // Shrink the raw section (and file) so that its last 8 pixel bytes fall outside it; the
  // volume still holds them, but they are not the file's.
  const size_t file = 0x48, section = file + 24;
  const uint32_t sectionSize = (v[section] | v[section + 1] << 8) - 8;
  v[section] = static_cast<uint8_t>(sectionSize);
  v[section + 1] = static_cast<uint8_t>(sectionSize >> 8);
  const uint32_t fileSize = 24 + sectionSize;
  v[file + 20] = static_cast<uint8_t>(fileSize);
  v[file + 21] = static_cast<uint8_t>(fileSize >> 8);
  uint8_t sum = 0;
  for (size_t i = 0; i < 24; ++i) {
    if (i != 16 && i != 17 && i != 23) {
      sum = static_cast<uint8_t>(sum + v[file + i]);
    }
  }
  v[file + 16] = static_cast<uint8_t>(0x100 - sum);
  b.Place(0xFF800000, v);
  uint32_t bottom = 10, left = 10;
  b.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(b.Touched(), 0u);
  EXPECT_EQ(b.DacEntryWrites(), 0u);
}

TEST(VolumeLookup, ACorruptVolumeIsPassedOverForTheNext) {
  ImageBoard b;
  std::vector<uint8_t> bad = Volume({File(Guid(1), Marked(3))});
  bad[0x48 + 16] ^= 0xFF; // header checksum
  b.Place(0xFF800000, bad);
  b.Place(0xFF900000, Volume({File(Guid(1), Marked(6))}));
  uint32_t bottom = 10, left = 10;
  b.Draw(Guid(1), &bottom, &left, 0);
  EXPECT_EQ(b.Px(10, 589), 6);
}

TEST(VolumeLookup, TheReportDescribesEachCall) {
  ImageBoard b;
  b.Place(0xFF800000, Volume({File(Guid(1), Marked(3, 10))}));
  uint32_t bottom = 0, left = 0;
  b.Draw(Guid(1), &bottom, &left, 1);
  b.Draw(Guid(2), &bottom, &left, 1);
  const auto &calls = b.board.images.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].drawn());
  EXPECT_EQ(calls[0].placement.left, 395u);
  EXPECT_EQ(calls[0].placement.top_row, 299u);
  EXPECT_EQ(calls[0].placement.palette_base, 230u);
  EXPECT_EQ(calls[0].placement.palette_count, 16u);
  // 10 x 2 pixels from column 395: per row a byte, two dwords (396 to 403), a byte.
  EXPECT_EQ(calls[0].mmio_writes, 8u);
  EXPECT_GT(calls[0].cost_us, 0.0);
  EXPECT_FALSE(calls[1].lookup.found);
  EXPECT_EQ(calls[1].mmio_writes, 0u);
}

// FFS services that hand back one fixed file and section, standing in for a PEI core that
// accepts a volume the simulator's core refuses (one whose length runs past 4 GiB).
struct FixedFfs {
  static inline EFI_PEI_FILE_HANDLE file = nullptr;
  static inline VOID *data = nullptr;

  static EFI_STATUS EFIAPI NextFile(const EFI_PEI_SERVICES **, EFI_FV_FILETYPE,
                                    const EFI_PEI_FV_HANDLE, EFI_PEI_FILE_HANDLE *handle) {
    if (*handle != nullptr) {
      return EFI_NOT_FOUND;
    }
    *handle = file;
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI SectionData(const EFI_PEI_SERVICES **, EFI_SECTION_TYPE,
                                       EFI_PEI_FILE_HANDLE, VOID **section) {
    *section = data;
    return EFI_SUCCESS;
  }
};

// A volume at 0xFFFE0000 whose length (below the 16 MiB limit) runs past 4 GiB, holding one file
// with a BMP, served by FixedFfs. Its bounds must end at 4 GiB.
class TopVolume {
public:
  static constexpr uint64_t kBase = 0xFFFE0000;

  TopVolume() : v_(Volume({File(Guid(1), Marked(9))}, 0x10000)) {
    Put(kFvLengthOffset, 0xFFFF00, 8);
    uint16_t headerLength = 0;
    std::memcpy(&headerLength, &v_[kFvHeaderLengthOffset], sizeof headerLength);
    file_ = headerLength;
    data_ = file_ + sizeof(EFI_FFS_FILE_HEADER) + sizeof(EFI_COMMON_SECTION_HEADER);
  }

  // Little-endian `value` of `bytes` bytes at volume offset `at`.
  void Put(size_t at, uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) {
      v_[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
  }
  size_t FileOffset() const { return file_; }
  size_t DataOffset() const { return data_; }
  uint8_t At(size_t at) const { return v_[at]; }

  void Draw(ImageBoard &b, uint32_t *bottom, uint32_t *left) {
    b.Place(kBase, v_);
    FixedFfs::file = reinterpret_cast<EFI_PEI_FILE_HANDLE>(kBase + file_);
    FixedFfs::data = reinterpret_cast<VOID *>(kBase + data_);
    EFI_PEI_SERVICES table = **b.board.core.Services();
    table.FfsFindNextFile = FixedFfs::NextFile;
    table.FfsFindSectionData = FixedFfs::SectionData;
    const EFI_PEI_SERVICES *services = &table;
    const EFI_GUID wanted = Guid(1);
    EXPECT_EQ(DrawImageFile(&services, &wanted, bottom, left, 0), EFI_SUCCESS);
  }

private:
  std::vector<uint8_t> v_;
  size_t file_ = 0, data_ = 0;
};

TEST(VolumeLookup, AVolumeRunningPastFourGigabytesEndsThere) {
  {
    // The file lies well inside the volume's bounds and is drawn.
    ImageBoard b;
    TopVolume top;
    ASSERT_EQ(top.At(top.DataOffset()), 'B'); // the raw section's data: the BMP file
    uint32_t bottom = 10, left = 10;
    top.Draw(b, &bottom, &left);
    EXPECT_EQ(b.Px(10, 589), 9);
    EXPECT_EQ(b.Px(13, 588), 9);
  }
  // File and section sizes that claim 16 MiB, and a BMP whose 800 x 600 pixel rows would run past
  // 4 GiB: the section ends at 4 GiB, so the rows are missing and nothing is drawn or loaded.
  ImageBoard b;
  TopVolume top;
  top.Put(top.FileOffset() + 20, 0xFFFFFF, 3);
  top.Put(top.DataOffset() - sizeof(EFI_COMMON_SECTION_HEADER), 0xFFFFFE, 3);
  top.Put(top.DataOffset() + kBmpWidthOffset, 800, 4);
  top.Put(top.DataOffset() + kBmpHeightOffset, 600, 4);
  uint32_t bottom = 0, left = 0;
  top.Draw(b, &bottom, &left);
  EXPECT_EQ(b.Touched(), 0u);
  EXPECT_EQ(b.DacEntryWrites(), 0u);
  EXPECT_EQ(bottom, 0u);
}

} // namespace
