#include "modules/boot_progress_pei/image/palette_dac.h"

#include "access/port_io.h"

namespace {
constexpr uint16_t kDacWriteIndexPort = 0x3C8;
constexpr uint16_t kDacDataPort = 0x3C9;
// Sequencer index port; reading it after each DAC write gives the DAC time to settle.
constexpr uint16_t kDacDelayPort = 0x3C4;

constexpr uint8_t kSixBitMax = 63;
constexpr uint8_t kFullComponent = 0xFF;
constexpr unsigned kEightToSixBitShift = 2;
constexpr unsigned kComponents = 3;

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

void DacWrite(uint16_t port, uint8_t value) {
  IoWrite8(port, value);
  (void)IoRead8(kDacDelayPort);
}

// Loads entry `index` from `bgr` (blue, green, red); the DAC takes red first, so the components
// go in reverse. With `convert`, each passes through ConvertColourComponent.
void WriteEntry(uint8_t index, const uint8_t *bgr, bool convert) {
  DacWrite(kDacWriteIndexPort, index);
  for (unsigned c = kComponents; c-- > 0;) {
    DacWrite(kDacDataPort, convert ? ConvertColourComponent(bgr[c]) : bgr[c]);
  }
}
} // namespace

uint8_t ConvertColourComponent(uint8_t value) {
  if (value > kSixBitMax && value != kFullComponent) {
    return static_cast<uint8_t>(value >> kEightToSixBitShift);
  }
  return value;
}

void WritePaletteEntry(uint8_t index, uint8_t red, uint8_t green, uint8_t blue) {
  const uint8_t bgr[kComponents] = {blue, green, red};
  WriteEntry(index, bgr, false);
}

void WriteBmpPaletteEntry(uint8_t index, const uint8_t bgr[3]) { WriteEntry(index, bgr, true); }

void WriteFixedPaletteEntries() {
  for (const FixedEntry &e : kFixedEntries) {
    WriteEntry(e.index, e.bgr, false);
  }
}
