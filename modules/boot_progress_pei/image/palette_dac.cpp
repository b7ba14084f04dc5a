#include "modules/boot_progress_pei/image/palette_dac.h"

namespace {
constexpr uint8_t kSixBitMax = 63;
constexpr uint8_t kFullComponent = 0xFF;
constexpr unsigned kEightToSixBitShift = 2;
constexpr unsigned kComponents = kDacComponents;

// Components in BMP colour-table order: blue, green, red.
struct FixedEntry {
  uint8_t index;
  uint8_t bgr[kComponents];
};
constexpr FixedEntry kFixedEntries[] = {
    {250, {0xFF, 0xFF, 0xFF}}, // progress trough
    {251, {0xA5, 0x53, 0x00}}, // progress bar
    {255, {0xFF, 0xFF, 0xFF}},
};
} // namespace

uint8_t ConvertColourComponent(uint8_t value) {
  if (value > kSixBitMax && value != kFullComponent) {
    return static_cast<uint8_t>(value >> kEightToSixBitShift);
  }
  return value;
}

void WriteBmpPaletteEntry(uint8_t index, const uint8_t bgr[3]) {
  uint8_t converted[kComponents];
  for (unsigned c = 0; c < kComponents; ++c) {
    converted[c] = ConvertColourComponent(bgr[c]);
  }
  WriteDacEntry(index, converted);
}

void WriteFixedPaletteEntries() {
  for (const FixedEntry &e : kFixedEntries) {
    WriteDacEntry(e.index, e.bgr);
  }
}
