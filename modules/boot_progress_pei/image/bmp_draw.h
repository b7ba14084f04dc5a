// Drawing one BMP file (4 or 8 bits per pixel, uncompressed) into the 800 x 600, 8-bit frame
// buffer, with its colours loaded into the palette.
#pragma once

#include "uefi/uefi_base.h"

// biSizeImage above this is refused.
constexpr UINT32 kBmpSizeLimit = 0x100000;
// Palette entry the image's colour 0 goes to when HighPalette is 1.
constexpr UINT32 kHighPaletteBase = 230;

// Draws the BMP file of `bmpLength` bytes at `bmpAddress` (read through the access layer) into
// the frame buffer at `frameBuffer`. A margin of 0 is replaced by the centred one. The image's
// width and height are handed back once the headers have been read.
//
// Returns EFI_SUCCESS when the image was drawn (or, at a depth other than 4 or 8 bits, its
// palette loaded and its margins centred without pixels), and otherwise, with nothing changed
// (palette, margins and frame buffer as they were):
//   EFI_UNSUPPORTED       the file does not start with "BM"
//   EFI_OUT_OF_RESOURCES  biSizeImage is above `sizeLimit`
//   EFI_BAD_BUFFER_SIZE   the file is shorter than its headers or its pixel rows
//   EFI_INVALID_PARAMETER the image does not lie wholly on the screen at its position (too wide
//                         or tall for the screen, a margin that pushes it off, a top-down image
//                         whose negative biHeight reads as a huge height)
EFI_STATUS DrawBitmap(UINTN bmpAddress, UINT32 bmpLength, UINT32 sizeLimit, UINTN frameBuffer,
                      UINT32 *leftMargin, UINT32 *bottomMargin, UINT32 highPalette, UINT32 *width,
                      UINT32 *height);
