#include "tests/sim/png_reader.h"

#include <cstdio>
#include <png.h>

namespace test {

RgbImage ReadPng(const std::filesystem::path &file) {
  RgbImage image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, file.c_str())) {
    return image;
  }
  png.format = PNG_FORMAT_RGB;
  image.rgb.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
    image.rgb.clear();
    return image;
  }
  image.width = png.width;
  image.height = png.height;
  return image;
}

} // namespace test
