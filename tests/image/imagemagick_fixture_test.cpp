// BMP files written by ImageMagick (BMP3, 4 and 8 bits per pixel, with and without biClrUsed and
// biSizeImage) found in a volume, drawn, and compared pixel for pixel with the decoded originals.
#include <fstream>
#include <iterator>

#include "modules/boot_progress_pei/image/palette_dac.h"
#include "sim/screen/bmp_inspect.h"
#include "tests/image/image_support.h"

namespace {

using test::ImageBoard;

std::vector<uint8_t> Fixture(const std::string &name) {
  std::ifstream in(std::string(IMAGE_FIXTURES_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Ppm {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

Ppm ReadPpm(const std::string &name) {
  const std::vector<uint8_t> d = Fixture(name);
  Ppm p;
  size_t at = 0;
  std::vector<uint32_t> fields;
  std::string magic;
  while (fields.size() < 3) {
    while (at < d.size() && std::isspace(d[at])) {
      ++at;
    }
    std::string token;
    while (at < d.size() && !std::isspace(d[at])) {
      token += static_cast<char>(d[at++]);
    }
    if (magic.empty()) {
      magic = token;
    } else {
      fields.push_back(static_cast<uint32_t>(std::stoul(token)));
    }
  }
  EXPECT_EQ(magic, "P6");
  p.width = fields[0];
  p.height = fields[1];
  p.rgb.assign(d.begin() + static_cast<std::ptrdiff_t>(at + 1), d.end());
  EXPECT_EQ(p.rgb.size(), size_t{3} * p.width * p.height);
  return p;
}

uint8_t Dac(uint8_t v) { return ConvertColourComponent(v) & 0x3F; }

class ImageMagickFixture : public ::testing::TestWithParam<std::pair<const char *, const char *>> {
};

TEST_P(ImageMagickFixture, DrawsThePixelsOfTheDecodedOriginal) {
  const auto [bmpName, ppmName] = GetParam();
  const Ppm original = ReadPpm(ppmName);
  const std::vector<uint8_t> bmp = Fixture(bmpName);
  ImageBoard b;
  b.Place(0xFF800000, test::Volume({test::File(test::Guid(1), bmp)}));
  uint32_t bottom = 0, left = 0;
  b.Draw(test::Guid(1), &bottom, &left, 0);
  ASSERT_EQ(left, (800 - original.width) / 2);
  ASSERT_EQ(bottom, (600 - original.height) / 2);
  const uint32_t top = 599 - bottom - (original.height - 1);
  size_t mismatches = 0;
  for (uint32_t y = 0; y < original.height; ++y) {
    for (uint32_t x = 0; x < original.width; ++x) {
      const sim::Rgb6 &shown = b.Entry(b.Px(left + x, top + y));
      const uint8_t *want = &original.rgb[3 * (y * original.width + x)];
      const sim::Rgb6 expected{Dac(want[0]), Dac(want[1]), Dac(want[2])};
      mismatches += !(shown == expected);
    }
  }
  EXPECT_EQ(mismatches, 0u) << bmpName;
  // Nothing outside the image's rectangle.
  EXPECT_EQ(b.Box(), (std::array<int, 4>{static_cast<int>(left), static_cast<int>(top),
                                         static_cast<int>(left + original.width - 1),
                                         static_cast<int>(599 - bottom)}))
      << "a colour-0 border would shrink the box; the fixtures have none";
}

INSTANTIATE_TEST_SUITE_P(Files, ImageMagickFixture,
                         ::testing::Values(std::make_pair("im4_37x23.bmp", "im4_37x23.ppm"),
                                           std::make_pair("im4_37x23_bare.bmp", "im4_37x23.ppm"),
                                           std::make_pair("im8_53x31.bmp", "im8_53x31.ppm"),
                                           std::make_pair("im8_53x31_bare.bmp", "im8_53x31.ppm")));

TEST(ImageMagickFixture, TheCheckRefusesRleCompressedOutput) {
  const sim::BmpPlacement p = sim::PlaceBmp(Fixture("im8_rle.bmp"), 0, 0, 0);
  ASSERT_FALSE(p.refusals.empty());
  EXPECT_NE(p.refusals[0].find("compressed"), std::string::npos) << p.refusals[0];
}

} // namespace
