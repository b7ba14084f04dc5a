// What DrawBitmap loads into the palette: where the colours go for each HighPalette value, the
// 256-entry wrap, the fixed entries, the 8-to-6-bit conversion and the colour-table bounds.
#include "modules/boot_progress_pei/image/palette_dac.h"
#include "sim/screen/bmp_inspect.h"
#include "tests/image/image_support.h"

namespace {

using test::ImageBoard;
using test::MakeBmp;

sim::Rgb6 Dac(uint8_t r, uint8_t g, uint8_t b) {
  return {static_cast<uint8_t>(ConvertColourComponent(r) & 0x3F),
          static_cast<uint8_t>(ConvertColourComponent(g) & 0x3F),
          static_cast<uint8_t>(ConvertColourComponent(b) & 0x3F)};
}

// Colour i is (64 + i, 128 + i / 2, 255 - i): distinct after conversion for 16 entries.
test::BmpSpec Distinct(uint16_t bits, uint32_t colours) {
  test::BmpSpec s;
  s.width = 16;
  s.height = 2;
  s.bits = bits;
  s.colours = colours;
  s.colour = [](uint32_t i, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(64 + (i % 192));
    rgb[1] = static_cast<uint8_t>(128 + i / 2);
    rgb[2] = static_cast<uint8_t>(255 - i);
  };
  s.pixel = [bits](uint32_t x, uint32_t y) {
    return static_cast<uint8_t>(bits == 4 ? x : x + 16 * y);
  };
  return s;
}

sim::Rgb6 Expected(const test::BmpSpec &s, uint32_t i) {
  uint8_t rgb[3];
  s.colour(i, rgb);
  return Dac(rgb[0], rgb[1], rgb[2]);
}

TEST(BmpPalette, HighPaletteOneLoadsFrom230AndOffsetsPixels) {
  ImageBoard b;
  const test::BmpSpec s = Distinct(4, 16);
  uint32_t left = 100, bottom = 100;
  ASSERT_EQ(b.Bitmap(MakeBmp(s), &left, &bottom, 1), EFI_SUCCESS);
  for (uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(b.Entry(230 + i), Expected(s, i)) << i;
  }
  EXPECT_EQ(b.Entry(0), sim::Rgb6{});
  EXPECT_EQ(b.Px(105, 498), 235); // colour 5 of the top row
}

TEST(BmpPalette, HighPaletteZeroOrTwoLoadsFromEntryZero) {
  for (uint32_t hp : {0u, 2u}) {
    ImageBoard b;
    const test::BmpSpec s = Distinct(4, 16);
    uint32_t left = 100, bottom = 100;
    ASSERT_EQ(b.Bitmap(MakeBmp(s), &left, &bottom, hp), EFI_SUCCESS);
    for (uint32_t i = 0; i < 16; ++i) {
      EXPECT_EQ(b.Entry(i), Expected(s, i)) << i;
    }
    EXPECT_EQ(b.Entry(230), sim::Rgb6{});
    EXPECT_EQ(b.Px(105, 498), 5);
  }
}

TEST(BmpPalette, AFullTableFrom230WrapsAndTheFixedEntriesWin) {
  ImageBoard b;
  const test::BmpSpec s = Distinct(8, 256);
  uint32_t left = 100, bottom = 100;
  ASSERT_EQ(b.Bitmap(MakeBmp(s), &left, &bottom, 1), EFI_SUCCESS);
  EXPECT_EQ(b.Entry(230), Expected(s, 0));
  EXPECT_EQ(b.Entry(249), Expected(s, 19));
  EXPECT_EQ(b.Entry(252), Expected(s, 22));
  EXPECT_EQ(b.Entry(0), Expected(s, 26));
  EXPECT_EQ(b.Entry(229), Expected(s, 255));
  EXPECT_EQ(b.Entry(250), (sim::Rgb6{0x3F, 0x3F, 0x3F}));
  // Written to the DAC as they stand, which keeps their low six bits.
  EXPECT_EQ(b.Entry(251), (sim::Rgb6{0x00, 0x53 & 0x3F, 0xA5 & 0x3F}));
  EXPECT_EQ(b.Entry(255), (sim::Rgb6{0x3F, 0x3F, 0x3F}));
  // Pixel value 30 (x 14 of the lower row) is stored as 4.
  EXPECT_EQ(b.Px(114, 499), 4);
}

TEST(BmpPalette, ConvertsComponentsAsTheDacTakesThem) {
  EXPECT_EQ(ConvertColourComponent(0x00), 0x00);
  EXPECT_EQ(ConvertColourComponent(0x3F), 0x3F);
  EXPECT_EQ(ConvertColourComponent(0x40), 0x10);
  EXPECT_EQ(ConvertColourComponent(0xFE), 0x3F);
  EXPECT_EQ(ConvertColourComponent(0xFF), 0xFF);
}

TEST(BmpPalette, TheColourTableIsBoundedByThePixelDataAndBy256) {
  // biClrUsed claims 200 colours but only 3 entries precede the pixel data.
  uint32_t left = 100, bottom = 100;
  {
    ImageBoard b;
    test::BmpSpec s = Distinct(8, 3);
    s.clr_used = 200;
    s.pixel = [](uint32_t, uint32_t) { return static_cast<uint8_t>(1); };
    const std::vector<uint8_t> file = MakeBmp(s);
    ASSERT_EQ(b.Bitmap(file, &left, &bottom, 0), EFI_SUCCESS);
    EXPECT_EQ(b.DacEntryWrites(), 3u + 3u); // three colours, three fixed entries
    EXPECT_EQ(sim::PlaceBmp(file, 100, 100, 0).palette_count, 3u);
  }

  // A huge biClrUsed with a full table loads 256 entries, not more.
  ImageBoard c;
  test::BmpSpec t = Distinct(8, 300);
  t.clr_used = 0x7FFFFFFF;
  ASSERT_EQ(c.Bitmap(MakeBmp(t), &left, &bottom, 0), EFI_SUCCESS);
  EXPECT_EQ(c.DacEntryWrites(), 256u + 3u);
}

TEST(BmpPalette, OtherDepthsLoadTheirTableAndCentreButDrawNoPixels) {
  ImageBoard b;
  test::BmpSpec s = Distinct(8, 2);
  s.bits = 24;
  s.clr_used = 0; // 2^24 colours: capped, then bounded to the 2 entries present
  uint32_t left = 0, bottom = 0;
  ASSERT_EQ(b.Bitmap(MakeBmp(s), &left, &bottom, 0), EFI_SUCCESS);
  EXPECT_EQ(left, 392u);
  EXPECT_EQ(b.DacEntryWrites(), 2u + 3u);
  EXPECT_EQ(b.Touched(), 0u);
}

struct Rejection {
  const char *what;
  std::function<void(std::vector<uint8_t> &)> spoil;
  EFI_STATUS status;
  uint32_t length; // 0: the whole file
};

class BmpRejection : public ::testing::TestWithParam<Rejection> {};

TEST_P(BmpRejection, LeavesPaletteMarginsAndScreenUntouched) {
  const Rejection r = GetParam();
  ImageBoard b;
  std::vector<uint8_t> file = MakeBmp(Distinct(8, 16));
  r.spoil(file);
  uint32_t left = 0, bottom = 0;
  const uint32_t length = r.length ? r.length : static_cast<uint32_t>(file.size());
  EXPECT_EQ(b.Bitmap(file, &left, &bottom, 1, length), r.status) << r.what;
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(bottom, 0u);
  EXPECT_EQ(b.DacEntryWrites(), 0u);
  EXPECT_EQ(b.Touched(), 0u);
  file.resize(length);
  EXPECT_EQ(sim::PlaceBmp(file, 0, 0, 1).status, r.status) << r.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpRejection,
    ::testing::Values(Rejection{"not BM", [](std::vector<uint8_t> &f) { f[1] = 'A'; },
                                EFI_UNSUPPORTED, 0},
                      Rejection{"biSizeImage one above the limit",
                                [](std::vector<uint8_t> &f) { test::Put32(f, 34, 0x100001); },
                                EFI_OUT_OF_RESOURCES, 0},
                      Rejection{"shorter than its headers", [](std::vector<uint8_t> &) {},
                                EFI_BAD_BUFFER_SIZE, 53},
                      Rejection{"one byte", [](std::vector<uint8_t> &) {}, EFI_BAD_BUFFER_SIZE, 1},
                      Rejection{"last pixel byte missing", [](std::vector<uint8_t> &) {},
                                EFI_BAD_BUFFER_SIZE, 54 + 64 + 16 + 15},
                      Rejection{"bfOffBits past the end",
                                [](std::vector<uint8_t> &f) { test::Put32(f, 10, 0xFFFFFFF0u); },
                                EFI_BAD_BUFFER_SIZE, 0}));

TEST(BmpPalette, SizeImageAtTheLimitIsAccepted) {
  ImageBoard b;
  std::vector<uint8_t> file = MakeBmp(Distinct(8, 16));
  test::Put32(file, 34, 0x100000);
  uint32_t left = 0, bottom = 0;
  EXPECT_EQ(b.Bitmap(file, &left, &bottom, 0), EFI_SUCCESS);
}

} // namespace

namespace {

size_t WarningsWith(const sim::BmpPlacement &p, const std::string &words) {
  size_t n = 0;
  for (const std::string &w : p.warnings) {
    n += w.find(words) != std::string::npos;
  }
  return n;
}

TEST(BmpPaletteWarnings, AnImageThatRecoloursTheBackgroundIsReported) {
  test::BmpSpec s = test::Solid(8, 4);
  s.colour = [](uint32_t i, uint8_t rgb[3]) { rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(i); };
  EXPECT_EQ(WarningsWith(sim::PlaceBmp(MakeBmp(s), 0, 0, 0), "entry 0"), 0u); // black: harmless
  s.colour = [](uint32_t i, uint8_t rgb[3]) {
    rgb[0] = 40;
    rgb[1] = rgb[2] = static_cast<uint8_t>(i);
  };
  const sim::BmpPlacement logo = sim::PlaceBmp(MakeBmp(s), 0, 0, 0);
  EXPECT_EQ(WarningsWith(logo, "sets palette entry 0 to (40, 0, 0) instead of black"), 1u);
  EXPECT_TRUE(logo.refusals.empty()); // a warning: the image is still drawn
  // From 230 it takes 27 colours to wrap round to entry 0.
  s.colours = 26;
  EXPECT_EQ(WarningsWith(sim::PlaceBmp(MakeBmp(s), 0, 0, 1), "entry 0"), 0u);
  s.colours = 27;
  EXPECT_EQ(WarningsWith(sim::PlaceBmp(MakeBmp(s), 0, 0, 1), "sets palette entry 0"), 1u);
}

TEST(BmpPaletteWarnings, FixedEntriesWarnOnlyWhereTheImageWantsAnotherColour) {
  // Entries 250, 251 and 255 from 230: the image's colours 20, 21 and 25.
  test::BmpSpec s = test::Solid(8, 4);
  s.colours = 26;
  s.colour = [](uint32_t i, uint8_t rgb[3]) {
    const uint8_t white[3] = {0xFF, 0xFF, 0xFF},
                  bar[3] = {0x00, 0x13, 0x25}; // bar as the DAC keeps it
    const uint8_t *c = i == 20 ? white : i == 21 ? bar : nullptr;
    for (int k = 0; k < 3; ++k) {
      rgb[k] = c ? c[k] : static_cast<uint8_t>(i * 3 + k);
    }
  };
  const sim::BmpPlacement p = sim::PlaceBmp(MakeBmp(s), 0, 0, 1);
  EXPECT_EQ(WarningsWith(p, "entry 250"), 0u);
  EXPECT_EQ(WarningsWith(p, "entry 251"), 0u);
  EXPECT_EQ(WarningsWith(p, "gives palette entry 255 the colour (75, 76, 77), but a fixed white"),
            1u);
  // The colours the check takes as fixed are the ones the module leaves in the DAC.
  ImageBoard b;
  uint32_t left = 100, bottom = 100;
  ASSERT_EQ(b.Bitmap(MakeBmp(s), &left, &bottom, 1), EFI_SUCCESS);
  EXPECT_EQ(b.Entry(250), Dac(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(b.Entry(251), Dac(0x00, 0x13, 0x25));
}

} // namespace
