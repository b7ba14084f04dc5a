// The firmware file system walk of a PI PEI core, over any readable window of the address space:
// volume header checks, files in order (8-byte aligned, pad files and non-valid states stepped
// over, erased space ending the list), and sections of a file (4-byte aligned). A malformed
// volume or file ends the walk with EFI_VOLUME_CORRUPTED; no read leaves the window, and every
// step moves forward, so the walk always ends.
#pragma once

#include <cstdint>
#include <functional>

#include "uefi/pi_firmware_volume.h"

namespace sim {

// What the walk reads through: `read` returns `width` (1, 2, 4 or 8) little-endian bytes at an
// address inside [start, end).
struct FlashView {
  std::function<uint64_t(uint64_t address, unsigned width)> read;
  uint64_t start = 0;
  uint64_t end = 0;
};

struct FfsVolumeInfo {
  uint64_t base = 0;
  uint64_t end = 0;        // base + FvLength
  uint64_t first_file = 0; // first file header, after the header and any extension header
  bool erase_polarity = false;
  bool ffs3 = false;
};

struct FfsFileInfo {
  uint64_t header = 0; // the handle: the file header's address
  uint64_t data = 0;   // first byte after the header
  uint64_t end = 0;    // exclusive
  uint8_t type = 0;
  uint8_t state = 0; // highest set state bit, erase polarity removed
};

// Checks the volume header at `base`: signature, a file system this walk knows (FFS2 or FFS3),
// header length, length within the window, header checksum, extension header.
EFI_STATUS OpenVolume(const FlashView &view, uint64_t base, FfsVolumeInfo *volume);

// The next file of `searchType` (EFI_FV_FILETYPE_ALL for any; pad files never) after
// *fileHandle, 0 meaning from the start. EFI_NOT_FOUND at the end of the files.
EFI_STATUS FindNextFile(const FlashView &view, uint8_t searchType, uint64_t volumeBase,
                        uint64_t *fileHandle, FfsFileInfo *info = nullptr);

// The data of the first section of `sectionType` in the file at `fileHandle` (searched in order,
// not descending into encapsulation sections), and the data's length.
EFI_STATUS FindSectionData(const FlashView &view, uint8_t sectionType, uint64_t fileHandle,
                           uint64_t *sectionData, uint64_t *dataLength = nullptr);

} // namespace sim
