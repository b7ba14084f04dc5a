// Loading one palette entry through the VGA DAC: the entry's index to the write-index port, then
// red, green and blue to the data port. Each write is followed by a discarded read of the
// sequencer index port, which gives the DAC time to settle. Header-only, so that the image
// drawing code and mode programming share it without a link dependency.
#pragma once

#include <stdint.h>

#include "access/inlining.h"
#include "access/port_io.h"
#include "modules/boot_progress_pei/graphics/vga_ports.h"

inline void WriteDacPort(uint16_t port, uint8_t value) {
  IoWrite8(port, value);
  (void)IoRead8(kVgaSequencer.IndexPort);
}

constexpr unsigned kDacComponents = 3;

// Loads entry `index` from `bgr`: blue, green, red, the order of a BMP colour table. The DAC
// takes red first, so the components go in reverse.
OUT_OF_LINE inline void WriteDacEntry(uint8_t index, const uint8_t bgr[kDacComponents]) {
  WriteDacPort(kVgaDacWriteIndex, index);
  for (unsigned c = kDacComponents; c-- > 0;) {
    WriteDacPort(kVgaDacData, bgr[c]);
  }
}

inline void WritePaletteEntry(uint8_t index, uint8_t red, uint8_t green, uint8_t blue) {
  const uint8_t bgr[kDacComponents] = {blue, green, red};
  WriteDacEntry(index, bgr);
}
