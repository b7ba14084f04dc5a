// How DrawBitmap walks the pixel data: nibble order, row padding to 4 bytes for 4-bit and 8-bit
// widths, bottom row first; padding bytes are never drawn.
#include "tests/image/image_support.h"

namespace {

using test::ImageBoard;
using test::MakeBmp;

// Draws a width x 3 image at left 10, bottom 100 and checks every pixel against the pattern.
void ExpectRowsDrawn(uint32_t width, uint16_t bits) {
  ImageBoard b;
  test::BmpSpec s;
  s.width = width;
  s.height = 3;
  s.bits = bits;
  s.pixel = [](uint32_t x, uint32_t y) { return static_cast<uint8_t>(1 + (x * 7 + y * 5) % 15); };
  uint32_t left = 10, bottom = 100;
  ASSERT_EQ(b.Bitmap(MakeBmp(s), &left, &bottom, 0), EFI_SUCCESS);
  for (uint32_t y = 0; y < 3; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      EXPECT_EQ(b.Px(10 + x, 497 + y), s.pixel(x, y))
          << "width " << width << " at " << x << "," << y;
    }
    EXPECT_EQ(b.Px(10 + width, 497 + y), 0) << "padding drawn, width " << width;
  }
}

TEST(BmpRows, FourBitOddWidthsUseWholeBytesAndPadToFour) {
  ExpectRowsDrawn(9, 4); // 5 bytes a row, 8 with padding
  ExpectRowsDrawn(3, 4); // 2 bytes, 4 with padding
  ExpectRowsDrawn(8, 4); // exactly 4 bytes
  ExpectRowsDrawn(1, 4);
}

TEST(BmpRows, EightBitWidthsPadToFour) {
  ExpectRowsDrawn(5, 8); // 8 bytes a row
  ExpectRowsDrawn(4, 8);
  ExpectRowsDrawn(7, 8);
}

TEST(BmpRows, TheLastRowNeedsItsPixelsButNotItsPadding) {
  ImageBoard b;
  test::BmpSpec s;
  s.width = 5;
  s.height = 2;
  const std::vector<uint8_t> file = MakeBmp(s);
  uint32_t left = 10, bottom = 10;
  // 5 pixel bytes of the top (last stored) row present, its 3 padding bytes not.
  EXPECT_EQ(b.Bitmap(file, &left, &bottom, 0, static_cast<uint32_t>(file.size() - 3)), EFI_SUCCESS);
  EXPECT_EQ(b.Bitmap(file, &left, &bottom, 0, static_cast<uint32_t>(file.size() - 4)),
            EFI_BAD_BUFFER_SIZE);
}

} // namespace
