#include "image/palette_dac.h"

#include "access/port_io.h"

namespace {
constexpr uint16_t kDacWriteIndexPort = 0x3C8;
constexpr uint16_t kDacDataPort = 0x3C9;
// Sequencer index port; reading it after each DAC write gives the DAC time to settle.
constexpr uint16_t kDacDelayPort = 0x3C4;

constexpr uint8_t kSixBitMax = 63;
constexpr uint8_t kFullComponent = 0xFF;
constexpr unsigned kEightToSixBitShift = 2;

struct FixedEntry {
  uint8_t index, red, green, blue;
};
constexpr FixedEntry kFixedEntries[] = {
    {250, 0xFF, 0xFF, 0xFF}, // progress trough
    {251, 0x00, 0x53, 0xA5}, // progress bar
    {255, 0xFF, 0xFF, 0xFF},
};

void DacWrite(uint16_t port, uint8_t value) {
  IoWrite8(port, value);
  (void)IoRead8(kDacDelayPort);
}
} // namespace

uint8_t ConvertColourComponent(uint8_t value) {
  if (value > kSixBitMax && value != kFullComponent) {
    return static_cast<uint8_t>(value >> kEightToSixBitShift);
  }
  return value;
}

void WritePaletteEntry(uint8_t index, uint8_t red, uint8_t green, uint8_t blue) {
  DacWrite(kDacWriteIndexPort, index);
  DacWrite(kDacDataPort, red);
  DacWrite(kDacDataPort, green);
  DacWrite(kDacDataPort, blue);
}

void WriteFixedPaletteEntries() {
  for (const FixedEntry &e : kFixedEntries) {
    WritePaletteEntry(e.index, e.red, e.green, e.blue);
  }
}
