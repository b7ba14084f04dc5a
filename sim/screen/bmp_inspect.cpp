#include "sim/screen/bmp_inspect.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {
constexpr uint32_t kScreenW = 800;
constexpr uint32_t kScreenH = 600;
constexpr uint32_t kHighBase = 230;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kTableOffset = 54;
// A logo loads from entry 0; from 230 up the banner, labels, glyphs and footer load theirs.
constexpr uint32_t kLogoColourRoom = 230;
// From 230, entries 250, 251 and 255 are rewritten with fixed colours after every image.
constexpr uint32_t kHighColourRoom = 20;

uint32_t Le32(const std::vector<uint8_t> &f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t> &f, size_t at) {
  return static_cast<uint16_t>(f[at] | f[at + 1] << 8);
}

std::string Format(const char *fmt, unsigned long a, unsigned long b = 0, unsigned long c = 0) {
  char text[256];
  std::snprintf(text, sizeof text, fmt, a, b, c);
  return text;
}

// The palette entries other screen elements rely on. Entry 0 is the colour of the whole screen
// the module clears before drawing; 250, 251 and 255 are rewritten after every image with fixed
// colours, which modules/boot_progress_pei/image/palette_dac.cpp writes to the DAC as they stand
// (the DAC keeps their low six bits).
constexpr uint32_t kBackgroundEntry = 0;
constexpr uint8_t kDacBits = 0x3F;
struct FixedEntry {
  uint32_t index;
  uint8_t red, green, blue;
  const char *what;
};
constexpr FixedEntry kFixedEntries[] = {
    {250, 0xFF, 0xFF, 0xFF, "the progress trough"},
    {251, 0x00, 0x53, 0xA5, "the progress bar"},
    {255, 0xFF, 0xFF, 0xFF, "a fixed white"},
};

// An image's component as the DAC keeps it: 0 to 63 and 255 pass as they stand, the rest are
// shifted down to six bits.
uint8_t DacComponent(uint8_t v) {
  return static_cast<uint8_t>((v > kDacBits && v != 0xFF ? v >> 2 : v) & kDacBits);
}

std::string Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return Format("(%lu, %lu, ", r, g) + std::to_string(b) + ")";
}

// Warnings for an image whose palette load changes an entry the rest of the screen relies on.
void CheckReliedEntries(const std::vector<uint8_t> &f, uint32_t base, uint32_t count,
                        std::vector<std::string> *warnings) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t entry = (base + i) % 256;
    const size_t at = kTableOffset + 4 * i;
    const uint8_t blue = f[at], green = f[at + 1], red = f[at + 2];
    if (entry == kBackgroundEntry && (red != 0 || green != 0 || blue != 0)) {
      warnings->push_back("sets palette entry 0 to " + Rgb(red, green, blue) +
                          " instead of black: entry 0 is the colour of the whole cleared screen "
                          "behind the images, which changes with it");
    }
    for (const FixedEntry &e : kFixedEntries) {
      if (entry == e.index &&
          (DacComponent(red) != (e.red & kDacBits) || DacComponent(green) != (e.green & kDacBits) ||
           DacComponent(blue) != (e.blue & kDacBits))) {
        warnings->push_back(Format("gives palette entry %lu the colour ", e.index) +
                            Rgb(red, green, blue) + ", but " + e.what +
                            " keeps that entry at its fixed colour: it is rewritten after the "
                            "image, whose pixels of that index show the fixed colour instead");
      }
    }
  }
}

BmpPlacement Refuse(BmpPlacement p, EFI_STATUS status, const std::string &why) {
  p.status = status;
  p.why_not = why;
  p.refusals.push_back(why);
  p.draws_pixels = false;
  p.palette_count = 0;
  return p;
}
} // namespace

BmpPlacement PlaceBmp(const std::vector<uint8_t> &f, uint32_t bottom, uint32_t left,
                      uint32_t highPalette) {
  BmpPlacement p;
  p.left = left;
  p.bottom = bottom;
  if (f.size() < 2) {
    return Refuse(p, EFI_BAD_BUFFER_SIZE, "the file is shorter than its headers");
  }
  if (f[0] != 'B' || f[1] != 'M') {
    return Refuse(p, EFI_UNSUPPORTED, "not a BMP file (it does not start with \"BM\")");
  }
  if (f.size() < kTableOffset) {
    return Refuse(p, EFI_BAD_BUFFER_SIZE, "the file is shorter than its headers");
  }
  p.headers_read = true;
  p.off_bits = Le32(f, 10);
  p.info_size = Le32(f, 14);
  p.width = Le32(f, 18);
  p.height = Le32(f, 22);
  p.bit_depth = Le16(f, 28);
  p.compression = Le32(f, 30);
  p.size_image = Le32(f, 34);
  p.clr_used = Le32(f, 46);
  if (p.compression != 0) {
    p.refusals.push_back(Format("compressed (biCompression %lu, RLE): the module draws the "
                                "compressed bytes as raw pixels; write it with -compress none",
                                p.compression));
  }
  if (p.size_image > kBmpCheckSizeLimit) {
    return Refuse(p, EFI_OUT_OF_RESOURCES,
                  Format("biSizeImage %lu is above the limit of %lu bytes", p.size_image,
                         kBmpCheckSizeLimit));
  }
  const bool fitsScreen = p.width <= kScreenW && p.height <= kScreenH;
  if (fitsScreen) {
    p.left = left == 0 ? (kScreenW - p.width) / 2 : left;
    p.bottom = bottom == 0 ? (kScreenH - p.height) / 2 : bottom;
  }
  if (!fitsScreen || p.left > kScreenW - p.width || p.bottom > kScreenH - p.height) {
    const std::string what =
        static_cast<int32_t>(p.height) < 0
            ? std::string("a top-down image (negative biHeight) is not drawn")
            : Format("a %lu x %lu image does not lie on the 800 x 600 screen at left margin %lu",
                     p.width, p.height, left) +
                  Format(", bottom margin %lu", bottom);
    p.left = left;
    p.bottom = bottom;
    return Refuse(p, EFI_INVALID_PARAMETER, what);
  }
  p.draws_pixels = p.bit_depth == 4 || p.bit_depth == 8;
  if (p.draws_pixels && p.height > 0) {
    const uint64_t rowBytes = p.bit_depth == 4 ? (p.width + 1) / 2 : p.width;
    const uint64_t stride = (rowBytes + 3) / 4 * 4;
    const uint64_t needed = uint64_t{p.off_bits} + (p.height - 1) * stride + rowBytes;
    if (needed > f.size()) {
      return Refuse(p, EFI_BAD_BUFFER_SIZE,
                    Format("the pixel rows need %lu bytes, the file has %lu", needed, f.size()));
    }
  }
  p.palette_base = highPalette == 1 ? kHighBase : 0;
  uint32_t count = 256;
  if (p.clr_used != 0) {
    count = std::min<uint32_t>(p.clr_used, 256);
  } else if (p.bit_depth < 8) {
    count = 1u << p.bit_depth;
  }
  const uint64_t tableEnd = std::min<uint64_t>(p.off_bits, f.size());
  const uint32_t present =
      tableEnd > kTableOffset ? static_cast<uint32_t>((tableEnd - kTableOffset) / 4) : 0;
  if (count > present) {
    if (p.clr_used != 0) {
      p.warnings.push_back(Format("biClrUsed says %lu colours, the file holds %lu; %lu are loaded",
                                  p.clr_used, present, present));
    }
    count = present;
  }
  p.palette_count = count;
  if (p.height > 0) {
    p.bottom_row = kScreenH - 1 - p.bottom;
    p.top_row = p.bottom_row - (p.height - 1);
  }

  // What the module accepts but a designer should hear about.
  if (!p.draws_pixels) {
    p.why_not = Format("bit depth %lu: only 4 and 8 bits per pixel are drawn", p.bit_depth);
    p.refusals.push_back(p.why_not + " (the palette is still loaded)");
  }
  if (p.info_size != kInfoHeaderSize) {
    p.refusals.push_back(Format("a %lu-byte info header: the colour table is read at offset 54, "
                                "which only a 40-byte BITMAPINFOHEADER puts there (write BMP3)",
                                p.info_size));
  }
  if (p.palette_base == 0 && count > kLogoColourRoom) {
    p.warnings.push_back(Format("%lu colours from entry 0 overlap the entries from 230 that the "
                                "banner, labels and footer load (at most 230)",
                                count));
  }
  if (p.palette_base == kHighBase && count > kHighColourRoom) {
    p.warnings.push_back(Format("%lu colours from entry 230 reach the fixed entries 250, 251 and "
                                "255, which are overwritten (at most 20)",
                                count));
  }
  CheckReliedEntries(f, p.palette_base, count, &p.warnings);
  unsigned dim = 0;
  for (uint32_t i = 0; i < count; ++i) {
    for (unsigned c = 0; c < 3; ++c) {
      const uint8_t v = f[kTableOffset + 4 * i + c];
      dim += v >= 1 && v <= 63;
    }
  }
  if (dim != 0) {
    p.warnings.push_back(Format("%lu colour components from 1 to 63 are taken as 6-bit DAC values "
                                "as they stand (up to four times brighter than meant)",
                                dim));
  }
  return p;
}

} // namespace sim
