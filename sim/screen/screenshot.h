// Renders what the display shows: frame-buffer indices through the palette DAC, as an RGB PNG.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "sim/devices/vga/vga_dac.h"

namespace sim {

struct ScreenView {
  const uint8_t *pixels; // palette indices, row 0 first
  uint32_t width;
  uint32_t height;
  uint32_t pitch;
  const std::array<Rgb6, 256> *palette;
};

// A 6-bit DAC value as 8 bits, replicating the top bits so 0x3F becomes 0xFF.
constexpr uint8_t Expand6To8(uint8_t v) {
  return static_cast<uint8_t>((v & 0x3F) << 2 | (v & 0x3F) >> 4);
}

// Writes the screen as an 8-bit RGB PNG; on failure returns false with a reason in `error`.
bool WriteScreenshot(const std::filesystem::path &file, const ScreenView &screen,
                     std::string *error);

} // namespace sim
