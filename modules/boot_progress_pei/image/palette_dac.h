// Loading palette entries through the VGA DAC: write index port 0x3C8, data port 0x3C9 (red,
// green, blue). Each write is followed by a discarded read of port 0x3C4 as an I/O delay.
#pragma once

#include <stdint.h>

// BMP colour components are 8-bit, the DAC's 6-bit. Values above 63 are scaled down; 0 to 63 are
// taken as 6-bit values as they stand and 255 passes as it is (the DAC keeps its low six bits).
uint8_t ConvertColourComponent(uint8_t value);

void WritePaletteEntry(uint8_t index, uint8_t red, uint8_t green, uint8_t blue);

// Loads entry `index` from a BMP colour-table entry: `bgr` holds blue, green and red in file
// order, each converted with ConvertColourComponent.
void WriteBmpPaletteEntry(uint8_t index, const uint8_t bgr[3]);

// Entries 250 (trough), 251 (bar) and 255 hold fixed colours whatever an image loaded there.
void WriteFixedPaletteEntries();
