// Storing a row of pixels into the frame buffer in aligned 32-bit units. Every store crosses PCIe
// to the display controller, so four pixels go in one store; only the pixels before the row's
// first and after its last 4-byte boundary are stored one at a time. Stores run in ascending
// address order.
#pragma once

#include "uefi/uefi_base.h"

class PixelRowWriter {
public:
  // A row whose first pixel goes to `address`.
  explicit PixelRowWriter(UINTN address) : next_(address) {}

  // The next pixel of the row, left to right.
  void Put(UINT8 pixel);
  // Stores the pixels still held back; call once the row's last pixel is put.
  void Finish();

private:
  UINTN next_;       // address of the first pixel not yet stored
  UINT32 held_ = 0;  // pixels put but not yet stored, the first in the low byte
  UINT32 count_ = 0; // how many
};
