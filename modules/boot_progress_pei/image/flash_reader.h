// Reading a file held in flash in aligned units of 32 or 64 bits. Every flash read is one
// transaction of the SPI flash controller whatever its width, so bytes are served from the last
// aligned unit fetched: a file read in ascending order costs one read per unit of bytes.
// Headers and names are read a dword at a time (FlashReader); pixel rows, the bulk of an image,
// a qword at a time (FlashQwordReader).
//
// A unit that reaches outside the file is never fetched; the file's bytes in it are read one at
// a time, so no read leaves the file. Flash does not change while it is read, so a kept unit
// stays valid.
#pragma once

#include "uefi/uefi_base.h"

template <typename Unit>
class FlashUnitReader {
public:
  // The file of `length` bytes at `start`.
  FlashUnitReader(UINTN start, UINT32 length) : start_(start), length_(length) {}

  // Little-endian values at `offset` bytes from the file's start. Bytes at or past the file's
  // end are not read and come back as erased flash (0xFF).
  UINT8 Read8(UINT32 offset);
  UINT16 Read16(UINT32 offset) { return static_cast<UINT16>(ReadLittleEndian(offset, 2)); }
  UINT32 Read24(UINT32 offset) { return ReadLittleEndian(offset, 3); }
  UINT32 Read32(UINT32 offset) { return ReadLittleEndian(offset, 4); }

  // The `bytes` (1 to 4) bytes at `offset` as a little-endian value.
  UINT32 ReadLittleEndian(UINT32 offset, UINT32 bytes);

private:
  // An address no aligned unit starts at: nothing is kept yet.
  static constexpr UINTN kNothingKept = 1;

  UINTN start_;
  UINT32 length_;
  UINTN kept_address_ = kNothingKept; // aligned address of the unit in kept_
  Unit kept_;                         // valid once kept_address_ names a unit
};

using FlashReader = FlashUnitReader<UINT32>;
using FlashQwordReader = FlashUnitReader<UINT64>;
