// Where everything on the boot screen goes, and the image files the address line is built from.
#pragma once

#include "uefi/uefi_base.h"

// Image positions as DrawImageFile takes them: rows between the screen's bottom row and the
// image's bottom row, and the column of the image's left edge. 0 centres.
constexpr UINT32 kBannerBottomMargin = 17; // banner's bottom row is screen row 582
constexpr UINT32 kBannerLeftMargin = 3;
constexpr UINT32 kFooterLeftMargin = 600;
constexpr UINT32 kFooterBottomMargin = 17;
constexpr UINT32 kFooterRaisedBottomMargin = 37; // 20 rows higher, clear of the address line
constexpr UINT32 kAddressLabelLeftMargin = 410;
constexpr UINT32 kAddressFirstCharLeftMargin = 630;
constexpr UINT32 kAddressCharPitch = 10;
constexpr UINT32 kAddressBottomMargin = 17;

// HighPalette values: the logo's colours start at entry 0, every other image's at 230.
constexpr UINT32 kLowPalette = 0;
constexpr UINT32 kHighPalette = 1;

// Progress trough and bar: the bottom six rows, fixed palette indices loaded by image drawing.
constexpr UINT32 kProgressTopRow = 594;
constexpr UINT32 kProgressRows = 6;
constexpr UINT32 kProgressTroughWidth = 760;
constexpr UINT8 kTroughColourIndex = 250;
constexpr UINT8 kBarColourIndex = 251;

// GlyphImageTable rows, by character code: 43 to 45 are whole label images, 46 to 57 the glyphs
// of '.', '/' and '0' to '9'.
constexpr UINT8 kGlyphTableFirstCode = 43;
constexpr UINT8 kGlyphTableLastCode = 57;
constexpr UINT8 kLabelLanChannel1Code = 43;
constexpr UINT8 kLabelLanChannel8Code = 44;
constexpr UINT8 kLabelNoTransportCode = 45;

extern const EFI_GUID GlyphImageTable[kGlyphTableLastCode - kGlyphTableFirstCode + 1];

// The file GUID for character code `code`, or null when the table has no row for it.
const EFI_GUID *GlyphImageFor(UINT8 code);
