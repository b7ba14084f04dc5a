// Writes what the display shows as an RGB PNG: a picture the display engine scanned out, or
// palette indices seen through a palette.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "sim/devices/vga/display_engine.h"
#include "sim/devices/vga/vga_dac.h"

namespace sim {

struct ScreenView {
  const uint8_t *pixels; // palette indices, row 0 first
  uint32_t width;
  uint32_t height;
  uint32_t pitch;
  const std::array<Rgb6, 256> *palette;
};

// Palette indices through their palette, as a picture.
ScreenPicture PictureOf(const ScreenView &screen);

// Writes the picture as an 8-bit RGB PNG; on failure returns false with a reason in `error`.
bool WriteScreenshot(const std::filesystem::path &file, const ScreenPicture &picture,
                     std::string *error);
inline bool WriteScreenshot(const std::filesystem::path &file, const ScreenView &screen,
                            std::string *error) {
  return WriteScreenshot(file, PictureOf(screen), error);
}

} // namespace sim
