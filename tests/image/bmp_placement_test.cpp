// Where DrawBitmap puts an image: centring (odd sizes), explicit margins, and images that do not
// lie on the screen, which are refused with nothing changed.
#include "sim/screen/bmp_inspect.h"
#include "tests/image/image_support.h"

namespace {

using test::ImageBoard;
using test::MakeBmp;
using test::Solid;

TEST(BmpPlacement, CentresBothAxesAndWritesTheMarginsBack) {
  ImageBoard b;
  uint32_t left = 0, bottom = 0;
  ASSERT_EQ(b.Bitmap(MakeBmp(Solid(200, 100)), &left, &bottom, 0), EFI_SUCCESS);
  EXPECT_EQ(left, 300u);
  EXPECT_EQ(bottom, 250u);
  EXPECT_EQ(b.Box(), (std::array<int, 4>{300, 250, 499, 349}));
}

TEST(BmpPlacement, OddSizesLeaveTheExtraColumnRightAndTheExtraRowAbove) {
  ImageBoard b;
  uint32_t left = 0, bottom = 0;
  ASSERT_EQ(b.Bitmap(MakeBmp(Solid(201, 101)), &left, &bottom, 0), EFI_SUCCESS);
  EXPECT_EQ(left, 299u);
  EXPECT_EQ(bottom, 249u);
  // Columns 299..499: 299 to the left, 300 to the right; rows 250..350: 250 above, 249 below.
  EXPECT_EQ(b.Box(), (std::array<int, 4>{299, 250, 499, 350}));
}

TEST(BmpPlacement, ExplicitMarginsPlaceTheBottomRowAndLeftEdge) {
  ImageBoard b;
  uint32_t left = 3, bottom = 17;
  ASSERT_EQ(b.Bitmap(MakeBmp(Solid(10, 5, 4)), &left, &bottom, 1), EFI_SUCCESS);
  EXPECT_EQ(b.Box(), (std::array<int, 4>{3, 578, 12, 582}));
  EXPECT_EQ(left, 3u);
  EXPECT_EQ(bottom, 17u);
}

TEST(BmpPlacement, AnImageExactlyFillingTheScreenIsDrawn) {
  ImageBoard b;
  uint32_t left = 0, bottom = 0;
  ASSERT_EQ(b.Bitmap(MakeBmp(Solid(800, 600)), &left, &bottom, 0), EFI_SUCCESS);
  EXPECT_EQ(b.Box(), (std::array<int, 4>{0, 0, 799, 599}));
}

struct OffScreen {
  const char *what;
  uint32_t width, height, left, bottom;
  int32_t height_field;
};

class BmpOffScreen : public ::testing::TestWithParam<OffScreen> {};

TEST_P(BmpOffScreen, IsRefusedWithPaletteMarginsAndScreenUntouched) {
  const OffScreen c = GetParam();
  ImageBoard b;
  test::BmpSpec spec = Solid(c.width, c.height);
  spec.height_field = c.height_field;
  uint32_t left = c.left, bottom = c.bottom;
  const std::vector<uint8_t> file = MakeBmp(spec);
  EXPECT_EQ(b.Bitmap(file, &left, &bottom, 0), EFI_INVALID_PARAMETER) << c.what;
  EXPECT_EQ(left, c.left);
  EXPECT_EQ(bottom, c.bottom);
  EXPECT_EQ(b.Touched(), 0u);
  EXPECT_EQ(b.DacEntryWrites(), 0u);
  // The host-side model agrees.
  EXPECT_EQ(sim::PlaceBmp(file, c.bottom, c.left, 0).status, EFI_INVALID_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpOffScreen,
    ::testing::Values(OffScreen{"one column past the right edge", 10, 4, 791, 5, 0},
                      OffScreen{"one row above the top", 10, 4, 5, 597, 0},
                      OffScreen{"wider than the screen, centred", 801, 4, 0, 0, 0},
                      OffScreen{"taller than the screen, centred", 4, 601, 0, 0, 0},
                      OffScreen{"top-down (negative biHeight)", 4, 4, 0, 0, -4},
                      OffScreen{"margin far beyond the screen", 4, 4, 0xFFFFFFF0u, 5, 0},
                      OffScreen{"bottom margin wrapping past the top", 4, 4, 5, 0xFFFFFFFFu, 0}));

TEST(BmpPlacement, ZeroWidthOrHeightDrawsNothingButStillCentres) {
  ImageBoard b;
  uint32_t left = 0, bottom = 0;
  ASSERT_EQ(b.Bitmap(MakeBmp(Solid(0, 7)), &left, &bottom, 0), EFI_SUCCESS);
  EXPECT_EQ(left, 400u);
  EXPECT_EQ(bottom, 296u);
  left = bottom = 0;
  ASSERT_EQ(b.Bitmap(MakeBmp(Solid(9, 0)), &left, &bottom, 0), EFI_SUCCESS);
  EXPECT_EQ(bottom, 300u);
  EXPECT_EQ(b.Touched(), 0u);
}

} // namespace
