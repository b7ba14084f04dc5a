// Loading palette entries from BMP colour tables, and the fixed entries, through the VGA DAC
// (modules/boot_progress_pei/graphics/vga_dac.h).
#pragma once

#include <stdint.h>

#include "modules/boot_progress_pei/graphics/vga_dac.h"

// BMP colour components are 8-bit, the DAC's 6-bit. Values above 63 are scaled down; 0 to 63 are
// taken as 6-bit values as they stand and 255 passes as it is (the DAC keeps its low six bits).
uint8_t ConvertColourComponent(uint8_t value);

// Loads entry `index` from a BMP colour-table entry: `bgr` holds blue, green and red in file
// order, each converted with ConvertColourComponent.
void WriteBmpPaletteEntry(uint8_t index, const uint8_t bgr[3]);

// Entries 250 (trough), 251 (bar) and 255 hold fixed colours whatever an image loaded there.
void WriteFixedPaletteEntries();
