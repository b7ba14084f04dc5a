// What the boot screen's BMP drawing does with a file at a given position, worked out on the host
// from the file's bytes: where it lands, which palette entries it loads, whether pixels are
// drawn, and, for artwork checks, what a designer needs to know. It follows the module's rules
// (placement, centring, colour-table bounds, refusals) so that reports and checks can say why an
// image was or was not drawn; tests hold the module to the same answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "uefi/uefi_base.h"

namespace sim {

struct BmpPlacement {
  // The module's result: success, or the reason nothing changed.
  EFI_STATUS status = EFI_SUCCESS;
  std::string why_not; // empty when pixels are drawn
  bool headers_read = false;
  uint32_t width = 0, height = 0;
  uint16_t bit_depth = 0;
  uint32_t compression = 0, size_image = 0, clr_used = 0, off_bits = 0, info_size = 0;
  bool draws_pixels = false;
  uint32_t left = 0, bottom = 0;        // margins after centring
  uint32_t top_row = 0, bottom_row = 0; // screen rows, when the image has any
  uint32_t palette_base = 0;
  uint32_t palette_count = 0;        // entries palette_base .. + count - 1, modulo 256
  std::vector<std::string> warnings; // drawn, but perhaps not as meant
  std::vector<std::string> refusals; // artwork a board should not ship
};

constexpr uint32_t kBmpCheckSizeLimit = 0x100000;

BmpPlacement PlaceBmp(const std::vector<uint8_t> &file, uint32_t bottomMargin, uint32_t leftMargin,
                      uint32_t highPalette);

} // namespace sim
