// Reads an 8-bit RGB PNG back for comparison with what the simulator rendered.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace test {

struct RgbImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb; // 3 bytes a pixel, row 0 first
  const uint8_t *At(uint32_t x, uint32_t y) const { return &rgb[(y * width + x) * 3]; }
};

// Empty image (width 0) when the file is not a readable 8-bit RGB PNG.
RgbImage ReadPng(const std::filesystem::path &file);

} // namespace test
