#include "sim/screen/screenshot.h"

#include <cstdio>
#include <png.h>
#include <vector>

namespace sim {

ScreenPicture PictureOf(const ScreenView &screen) {
  ScreenPicture p{screen.width, screen.height, {}};
  p.rgb.reserve(size_t{screen.width} * screen.height * 3);
  for (uint32_t y = 0; y < screen.height; ++y) {
    for (uint32_t x = 0; x < screen.width; ++x) {
      const Rgb6 &c = (*screen.palette)[screen.pixels[y * screen.pitch + x]];
      p.rgb.insert(p.rgb.end(), {Expand6To8(c.r), Expand6To8(c.g), Expand6To8(c.b)});
    }
  }
  return p;
}

bool WriteScreenshot(const std::filesystem::path &file, const ScreenPicture &screen,
                     std::string *error) {
  FILE *out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) {
    *error = "cannot create " + file.string();
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    *error = "libpng could not start";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    *error = "libpng failed writing " + file.string();
    return false;
  }
  png_init_io(png, out);
  png_set_IHDR(png, info, screen.width, screen.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < screen.height; ++y) {
    png_write_row(png, &screen.rgb[size_t{y} * screen.width * 3]);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(out);
  return true;
}

} // namespace sim
