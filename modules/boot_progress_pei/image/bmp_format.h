// The parts of the BMP file format the boot screen reads: BITMAPFILEHEADER (14 bytes) followed
// by BITMAPINFOHEADER (40 bytes) and a colour table of 4-byte entries (blue, green, red,
// reserved). Offsets are from the start of the file; all fields are little-endian.
#pragma once

#include <stdint.h>

constexpr uint8_t kBmpSignature0 = 0x42; // 'B'
constexpr uint8_t kBmpSignature1 = 0x4D; // 'M'

constexpr uint32_t kBmpOffBitsOffset = 10;     // bfOffBits: pixel data, from the file start
constexpr uint32_t kBmpWidthOffset = 18;       // biWidth, taken as unsigned
constexpr uint32_t kBmpHeightOffset = 22;      // biHeight, taken as unsigned; bottom row first
constexpr uint32_t kBmpBitCountOffset = 28;    // biBitCount
constexpr uint32_t kBmpCompressionOffset = 30; // biCompression, not read by the module
constexpr uint32_t kBmpSizeImageOffset = 34;   // biSizeImage
constexpr uint32_t kBmpClrUsedOffset = 46;     // biClrUsed
constexpr uint32_t kBmpColourTableOffset = 54;
constexpr uint32_t kBmpHeadersSize = 54; // both headers; a shorter file is not drawn

constexpr uint32_t kBmpColourEntrySize = 4;
constexpr uint32_t kBmpColourBlue = 0;
constexpr uint32_t kBmpColourGreen = 1;
constexpr uint32_t kBmpColourRed = 2;
constexpr uint32_t kBmpColourComponents = 3; // blue, green, red; the fourth byte is not read

// Rows of pixel data start on 4-byte boundaries counted from the start of the pixel data.
constexpr uint32_t kBmpRowAlignment = 4;

// A palette has 256 entries; no colour table is read beyond that.
constexpr uint32_t kBmpMaxColours = 256;
