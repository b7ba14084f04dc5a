// Every header field is checked against the bytes present and the screen before anything is
// written, so a rejected image leaves palette, margins and frame buffer as they were, and no
// read goes past the end of the file or write past the 800 x 600 frame buffer. Header
// arithmetic is ordered so that no sum or product can wrap into a small value.
//
// The file is read once, in ascending order (headers, colour table, rows bottom first), through
// readers that fetch aligned dwords (headers, colour table) and qwords (pixel rows), and rows are
// stored four pixels at a time: an eighth of the reads and a quarter of the stores of byte
// access, with the same bytes landing in the same places.
#include "modules/boot_progress_pei/image/bmp_draw.h"

#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/image/bmp_format.h"
#include "modules/boot_progress_pei/image/flash_reader.h"
#include "modules/boot_progress_pei/image/palette_dac.h"
#include "modules/boot_progress_pei/image/pixel_row_writer.h"

namespace {
constexpr UINT32 kFourBitsPerPixel = 4;
constexpr UINT32 kEightBitsPerPixel = 8;
constexpr UINT8 kHighNibbleShift = 4;
constexpr UINT8 kLowNibbleMask = 0x0F;
constexpr UINT32 kHighPaletteFlag = 1;

// The header fields the drawing uses, in file order, each with its offset and width in bytes.
enum BmpField { kOffBits, kWidth, kHeight, kBitCount, kSizeImage, kClrUsed, kBmpFieldCount };
struct FieldPlace {
  UINT8 offset;
  UINT8 bytes;
};
constexpr FieldPlace kFieldPlaces[kBmpFieldCount] = {
    {kBmpOffBitsOffset, 4},  {kBmpWidthOffset, 4},     {kBmpHeightOffset, 4},
    {kBmpBitCountOffset, 2}, {kBmpSizeImageOffset, 4}, {kBmpClrUsedOffset, 4},
};

struct BmpHeader {
  UINT32 value[kBmpFieldCount];

  UINT32 offBits() const { return value[kOffBits]; }
  UINT32 width() const { return value[kWidth]; }
  UINT32 height() const { return value[kHeight]; }
  UINT32 bitCount() const { return value[kBitCount]; }
  UINT32 sizeImage() const { return value[kSizeImage]; }
  UINT32 clrUsed() const { return value[kClrUsed]; }
};

BmpHeader ReadHeader(FlashReader &bmp) {
  BmpHeader h;
  for (UINT32 i = 0; i < kBmpFieldCount; ++i) {
    h.value[i] = bmp.ReadLittleEndian(kFieldPlaces[i].offset, kFieldPlaces[i].bytes);
  }
  return h;
}

bool DrawsPixels(UINT32 bitCount) {
  return bitCount == kFourBitsPerPixel || bitCount == kEightBitsPerPixel;
}

// Source bytes one row of pixels occupies, before padding; only for 4 and 8 bits per pixel
// (width is at most the screen width here, so nothing wraps).
UINT32 RowBytes(const BmpHeader &h) {
  return h.bitCount() == kFourBitsPerPixel ? (h.width() + 1) / 2 : h.width();
}

UINT32 RowStride(const BmpHeader &h) {
  return (RowBytes(h) + kBmpRowAlignment - 1) / kBmpRowAlignment * kBmpRowAlignment;
}

// Replaces a margin of 0 by the centred one and tells whether the image then lies wholly on the
// screen.
bool PlaceOnScreen(const BmpHeader &h, UINT32 *left, UINT32 *bottom) {
  if (h.width() > kScreenWidth || h.height() > kScreenHeight) {
    return false;
  }
  if (*left == 0) {
    *left = (kScreenWidth - h.width()) / 2;
  }
  if (*bottom == 0) {
    *bottom = (kScreenHeight - h.height()) / 2;
  }
  return *left <= kScreenWidth - h.width() && *bottom <= kScreenHeight - h.height();
}

// Every pixel row lies within the file: the last row needs its pixel bytes, not its padding.
bool PixelRowsPresent(const BmpHeader &h, UINT32 bmpLength) {
  if (h.height() == 0) {
    return true;
  }
  if (h.offBits() > bmpLength) {
    return false;
  }
  const UINT32 needed = (h.height() - 1) * RowStride(h) + RowBytes(h);
  return needed <= bmpLength - h.offBits();
}

// Colour-table entries to load: biClrUsed, or 2^biBitCount when it is 0, bounded to a palette's
// 256 entries and to the whole entries present between the headers and the pixel data.
UINT32 ColourCount(const BmpHeader &h, UINT32 bmpLength) {
  UINT32 count = kBmpMaxColours;
  if (h.clrUsed() != 0) {
    count = h.clrUsed() < kBmpMaxColours ? h.clrUsed() : kBmpMaxColours;
  } else if (h.bitCount() < kEightBitsPerPixel) {
    count = 1u << h.bitCount();
  }
  const UINT32 tableEnd = h.offBits() < bmpLength ? h.offBits() : bmpLength;
  const UINT32 present = tableEnd > kBmpColourTableOffset
                             ? (tableEnd - kBmpColourTableOffset) / kBmpColourEntrySize
                             : 0;
  return count < present ? count : present;
}

// An entry's bytes are read in file order (blue, green, red) so that each dword is fetched once;
// the DAC still takes red, green, blue.
void LoadPalette(FlashReader &bmp, UINT32 count, UINT8 paletteBase) {
  for (UINT32 i = 0; i < count; ++i) {
    const UINT32 entry = kBmpColourTableOffset + i * kBmpColourEntrySize;
    UINT8 bgr[kBmpColourComponents];
    for (UINT32 c = 0; c < kBmpColourComponents; ++c) {
      bgr[c] = bmp.Read8(entry + c);
    }
    WriteBmpPaletteEntry(static_cast<UINT8>(paletteBase + i), bgr);
  }
  WriteFixedPaletteEntries();
}

void DrawRows(FlashQwordReader &bmp, const BmpHeader &h, UINTN frameBuffer, UINT32 left,
              UINT32 bottom, UINT8 paletteBase) {
  const UINT32 stride = RowStride(h);
  const bool fourBit = h.bitCount() == kFourBitsPerPixel;
  UINT32 source = h.offBits();
  for (UINT32 i = 0; i < h.height(); ++i, source += stride) {
    const UINT32 row = kScreenHeight - 1 - bottom - i;
    PixelRowWriter out(frameBuffer + static_cast<UINTN>(row) * kScreenPitch + left);
    for (UINT32 x = 0; x < h.width(); ++x) {
      // At 4 bits a byte holds two pixels, the left one in the high nibble.
      UINT8 index = bmp.Read8(source + (fourBit ? x / 2 : x));
      if (fourBit) {
        index = (x & 1) == 0 ? static_cast<UINT8>(index >> kHighNibbleShift)
                             : static_cast<UINT8>(index & kLowNibbleMask);
      }
      out.Put(static_cast<UINT8>(index + paletteBase));
    }
    out.Finish();
  }
}
} // namespace

EFI_STATUS DrawBitmap(UINTN bmpAddress, UINT32 bmpLength, UINT32 sizeLimit, UINTN frameBuffer,
                      UINT32 *leftMargin, UINT32 *bottomMargin, UINT32 highPalette, UINT32 *width,
                      UINT32 *height) {
  if (bmpLength < 2) {
    return EFI_BAD_BUFFER_SIZE;
  }
  FlashReader bmp(bmpAddress, bmpLength);
  if (bmp.Read8(0) != kBmpSignature0 || bmp.Read8(1) != kBmpSignature1) {
    return EFI_UNSUPPORTED;
  }
  if (bmpLength < kBmpHeadersSize) {
    return EFI_BAD_BUFFER_SIZE;
  }
  const BmpHeader h = ReadHeader(bmp);
  if (width != nullptr) {
    *width = h.width();
  }
  if (height != nullptr) {
    *height = h.height();
  }
  if (h.sizeImage() > sizeLimit) {
    return EFI_OUT_OF_RESOURCES;
  }
  // The caller's margins change only once the image is known to be drawn.
  UINT32 left = *leftMargin;
  UINT32 bottom = *bottomMargin;
  if (!PlaceOnScreen(h, &left, &bottom)) {
    return EFI_INVALID_PARAMETER;
  }
  const bool drawsPixels = DrawsPixels(h.bitCount());
  if (drawsPixels && !PixelRowsPresent(h, bmpLength)) {
    return EFI_BAD_BUFFER_SIZE;
  }

  const UINT8 paletteBase = highPalette == kHighPaletteFlag ? kHighPaletteBase : 0;
  LoadPalette(bmp, ColourCount(h, bmpLength), paletteBase);
  *leftMargin = left;
  *bottomMargin = bottom;
  if (drawsPixels) {
    FlashQwordReader rows(bmpAddress, bmpLength);
    DrawRows(rows, h, frameBuffer, left, bottom, paletteBase);
  }
  return EFI_SUCCESS;
}
