#include "sim/screen/screenshot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <vector>

#include "sim/core/output_file.h"

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

namespace {
// Encodes the picture into `out`. libpng reports an error by longjmp back to the setjmp here, so
// this function holds no C++ object that the jump would skip; false when it stopped.
bool EncodeRows(png_structp png, png_infop info, FILE *out, const ScreenPicture &screen) {
  if (setjmp(png_jmpbuf(png))) {
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
  return true;
}
} // namespace

bool WriteScreenshot(const std::filesystem::path &file, const ScreenPicture &screen,
                     std::string *error) {
  if (const std::string problem = OutputPathProblem(file); !problem.empty()) {
    *error = file.string() + ": " + problem;
    return false;
  }
  FILE *out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) {
    *error = file.string() + ": cannot be created: " + std::strerror(errno);
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
  if (!EncodeRows(png, info, out, screen)) {
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    *error = file.string() + ": cannot be written (libpng stopped: " + std::strerror(errno) + ")";
    return false;
  }
  png_destroy_write_struct(&png, &info);
  // Data still buffered is written by fflush; a full disk shows there or at fclose.
  const bool written = std::fflush(out) == 0 && !std::ferror(out);
  const int writeErrno = errno;
  if (std::fclose(out) != 0 || !written) {
    *error = file.string() + ": cannot be written: " + std::strerror(written ? errno : writeErrno);
    return false;
  }
  return true;
}

} // namespace sim
