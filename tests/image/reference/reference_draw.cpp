// The byte-at-a-time drawing (bmp_draw.cpp, the DAC writes of palette_dac.cpp and progress_bar.cpp
// as they were before wide transactions) in a namespace of its own: see reference_draw.h.
#include "tests/image/reference/reference_draw.h"

#include "access/mmio.h"
#include "access/port_io.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/image/bmp_draw.h"
#include "modules/boot_progress_pei/image/bmp_format.h"

namespace reference {
namespace {
constexpr UINT16 kFourBitsPerPixel = 4;
constexpr UINT16 kEightBitsPerPixel = 8;
constexpr UINT8 kHighNibbleShift = 4;
constexpr UINT8 kLowNibbleMask = 0x0F;
constexpr UINT32 kHighPaletteFlag = 1;

// The DAC writes of palette_dac.cpp: index to 0x3C8, red, green, blue to 0x3C9, each followed by a
// discarded read of 0x3C4.
void DacWrite(UINT16 port, UINT8 value) {
  IoWrite8(port, value);
  (void)IoRead8(0x3C4);
}
UINT8 ConvertColourComponent(UINT8 v) {
  return v > 63 && v != 0xFF ? static_cast<UINT8>(v >> 2) : v;
}
void WritePaletteEntry(UINT8 index, UINT8 red, UINT8 green, UINT8 blue) {
  DacWrite(0x3C8, index);
  DacWrite(0x3C9, red);
  DacWrite(0x3C9, green);
  DacWrite(0x3C9, blue);
}
void WriteFixedPaletteEntries() {
  WritePaletteEntry(250, 0xFF, 0xFF, 0xFF);
  WritePaletteEntry(251, 0x00, 0x53, 0xA5);
  WritePaletteEntry(255, 0xFF, 0xFF, 0xFF);
}

struct BmpHeader {
  UINT32 offBits;
  UINT32 width;
  UINT32 height;
  UINT16 bitCount;
  UINT32 sizeImage;
  UINT32 clrUsed;
};

BmpHeader ReadHeader(UINTN bmp) {
  BmpHeader h;
  h.offBits = MmioRead32(bmp + kBmpOffBitsOffset);
  h.width = MmioRead32(bmp + kBmpWidthOffset);
  h.height = MmioRead32(bmp + kBmpHeightOffset);
  h.bitCount = MmioRead16(bmp + kBmpBitCountOffset);
  h.sizeImage = MmioRead32(bmp + kBmpSizeImageOffset);
  h.clrUsed = MmioRead32(bmp + kBmpClrUsedOffset);
  return h;
}

bool DrawsPixels(UINT16 bitCount) {
  return bitCount == kFourBitsPerPixel || bitCount == kEightBitsPerPixel;
}

// Source bytes one row of pixels occupies, before padding; only for 4 and 8 bits per pixel
// (width is at most the screen width here, so nothing wraps).
UINT32 RowBytes(const BmpHeader &h) {
  return h.bitCount == kFourBitsPerPixel ? (h.width + 1) / 2 : h.width;
}

UINT32 RowStride(const BmpHeader &h) {
  return (RowBytes(h) + kBmpRowAlignment - 1) / kBmpRowAlignment * kBmpRowAlignment;
}

UINT32 CentredLeft(UINT32 width) { return (kScreenWidth - width) / 2; }
UINT32 CentredBottom(UINT32 height) { return (kScreenHeight - height) / 2; }

// The image lies wholly on the screen at its (possibly centred) position.
bool FitsOnScreen(const BmpHeader &h, UINT32 left, UINT32 bottom) {
  if (h.width > kScreenWidth || h.height > kScreenHeight) {
    return false;
  }
  if (left == 0) {
    left = CentredLeft(h.width);
  }
  if (bottom == 0) {
    bottom = CentredBottom(h.height);
  }
  return left <= kScreenWidth - h.width && bottom <= kScreenHeight - h.height;
}

// Every pixel row lies within the file: the last row needs its pixel bytes, not its padding.
bool PixelRowsPresent(const BmpHeader &h, UINT32 bmpLength) {
  if (h.height == 0) {
    return true;
  }
  if (h.offBits > bmpLength) {
    return false;
  }
  const UINT32 needed = (h.height - 1) * RowStride(h) + RowBytes(h);
  return needed <= bmpLength - h.offBits;
}

// Colour-table entries to load: biClrUsed, or 2^biBitCount when it is 0, bounded to a palette's
// 256 entries and to the whole entries present between the headers and the pixel data.
UINT32 ColourCount(const BmpHeader &h, UINT32 bmpLength) {
  UINT32 count = kBmpMaxColours;
  if (h.clrUsed != 0) {
    count = h.clrUsed < kBmpMaxColours ? h.clrUsed : kBmpMaxColours;
  } else if (h.bitCount < kEightBitsPerPixel) {
    count = 1u << h.bitCount;
  }
  const UINT32 tableEnd = h.offBits < bmpLength ? h.offBits : bmpLength;
  const UINT32 present = tableEnd > kBmpColourTableOffset
                             ? (tableEnd - kBmpColourTableOffset) / kBmpColourEntrySize
                             : 0;
  return count < present ? count : present;
}

void LoadPalette(UINTN bmp, UINT32 count, UINT8 paletteBase) {
  for (UINT32 i = 0; i < count; ++i) {
    const UINTN entry = bmp + kBmpColourTableOffset + i * kBmpColourEntrySize;
    const UINT8 red = ConvertColourComponent(MmioRead8(entry + kBmpColourRed));
    const UINT8 green = ConvertColourComponent(MmioRead8(entry + kBmpColourGreen));
    const UINT8 blue = ConvertColourComponent(MmioRead8(entry + kBmpColourBlue));
    WritePaletteEntry(static_cast<UINT8>(paletteBase + i), red, green, blue);
  }
  WriteFixedPaletteEntries();
}

void DrawRows(UINTN bmp, const BmpHeader &h, UINTN frameBuffer, UINT32 left, UINT32 bottom,
              UINT8 paletteBase) {
  const UINT32 stride = RowStride(h);
  UINTN source = bmp + h.offBits;
  for (UINT32 i = 0; i < h.height; ++i, source += stride) {
    const UINT32 row = kScreenHeight - 1 - bottom - i;
    const UINTN destination = frameBuffer + static_cast<UINTN>(row) * kScreenPitch + left;
    for (UINT32 x = 0; x < h.width; ++x) {
      UINT8 index;
      if (h.bitCount == kEightBitsPerPixel) {
        index = MmioRead8(source + x);
      } else {
        const UINT8 pair = MmioRead8(source + x / 2);
        index = (x & 1) == 0 ? static_cast<UINT8>(pair >> kHighNibbleShift)
                             : static_cast<UINT8>(pair & kLowNibbleMask);
      }
      MmioWrite8(destination + x, static_cast<UINT8>(index + paletteBase));
    }
  }
}
} // namespace

EFI_STATUS DrawBitmap(UINTN bmpAddress, UINT32 bmpLength, UINT32 sizeLimit, UINTN frameBuffer,
                      UINT32 *leftMargin, UINT32 *bottomMargin, UINT32 highPalette, UINT32 *width,
                      UINT32 *height) {
  if (bmpLength < 2) {
    return EFI_BAD_BUFFER_SIZE;
  }
  if (MmioRead8(bmpAddress) != kBmpSignature0 || MmioRead8(bmpAddress + 1) != kBmpSignature1) {
    return EFI_UNSUPPORTED;
  }
  if (bmpLength < kBmpHeadersSize) {
    return EFI_BAD_BUFFER_SIZE;
  }
  const BmpHeader h = ReadHeader(bmpAddress);
  if (width != nullptr) {
    *width = h.width;
  }
  if (height != nullptr) {
    *height = h.height;
  }
  if (h.sizeImage > sizeLimit) {
    return EFI_OUT_OF_RESOURCES;
  }
  if (!FitsOnScreen(h, *leftMargin, *bottomMargin)) {
    return EFI_INVALID_PARAMETER;
  }
  if (DrawsPixels(h.bitCount) && !PixelRowsPresent(h, bmpLength)) {
    return EFI_BAD_BUFFER_SIZE;
  }

  const UINT8 paletteBase = highPalette == kHighPaletteFlag ? kHighPaletteBase : 0;
  LoadPalette(bmpAddress, ColourCount(h, bmpLength), paletteBase);
  if (*leftMargin == 0) {
    *leftMargin = CentredLeft(h.width);
  }
  if (*bottomMargin == 0) {
    *bottomMargin = CentredBottom(h.height);
  }
  if (DrawsPixels(h.bitCount)) {
    DrawRows(bmpAddress, h, frameBuffer, *leftMargin, *bottomMargin, paletteBase);
  }
  return EFI_SUCCESS;
}

// The trough and bar of progress_bar.cpp, one byte store per pixel.
namespace {
void FillProgressRows(uintptr_t frameBuffer, UINT32 width, UINT8 index) {
  if (width == 0) {
    return;
  }
  for (UINT32 row = 594; row < 600; ++row) {
    MmioFill8(frameBuffer + row * kScreenPitch, width, index);
  }
}
} // namespace

EFI_STATUS DrawProgressTrough(uintptr_t frameBuffer) {
  FillProgressRows(frameBuffer, 760, 250);
  return EFI_SUCCESS;
}

void DrawProgressBar(UINT16 percent, uintptr_t frameBuffer) {
  const UINT32 p = percent > 100 ? 100 : percent;
  FillProgressRows(frameBuffer, ((p * kScreenWidth) / 100) * 95 / 100, 251);
}

} // namespace reference
