#include "sim/pi/ffs_walk.h"

#include <cstring>

namespace sim {

namespace {
constexpr uint64_t kFileAlignment = 8;
constexpr uint64_t kSectionAlignment = 4;
constexpr uint64_t kMinHeaderLength =
    sizeof(EFI_FIRMWARE_VOLUME_HEADER) + sizeof(EFI_FV_BLOCK_MAP_ENTRY);

uint64_t AlignUp(uint64_t value, uint64_t base, uint64_t alignment) {
  return base + (value - base + alignment - 1) / alignment * alignment;
}

bool Inside(const FlashView &view, uint64_t address, uint64_t size) {
  return address >= view.start && address <= view.end && size <= view.end - address;
}

uint64_t Read(const FlashView &view, uint64_t address, unsigned width) {
  return view.read(address, width);
}

uint32_t Size24(const FlashView &view, uint64_t address) {
  return static_cast<uint32_t>(Read(view, address, 2) | Read(view, address + 2, 1) << 16);
}

bool ReadGuidEquals(const FlashView &view, uint64_t address, const EFI_GUID &guid) {
  uint8_t bytes[16];
  for (unsigned i = 0; i < 16; ++i) {
    bytes[i] = static_cast<uint8_t>(Read(view, address + i, 1));
  }
  return std::memcmp(bytes, &guid, 16) == 0;
}

uint8_t HighestStateBit(uint8_t state) {
  for (uint8_t bit = EFI_FILE_HEADER_INVALID; bit != 0; bit >>= 1) {
    if (state & bit) {
      return bit;
    }
  }
  return 0;
}

// Reads the file header at `at`: EFI_NOT_FOUND for erased space (the end of the files),
// EFI_VOLUME_CORRUPTED for a header that does not fit or whose size is impossible.
EFI_STATUS ReadFile(const FlashView &view, const FfsVolumeInfo &volume, uint64_t at,
                    FfsFileInfo *file) {
  if (at >= volume.end || volume.end - at < sizeof(EFI_FFS_FILE_HEADER)) {
    return EFI_NOT_FOUND;
  }
  const uint8_t erased = volume.erase_polarity ? 0xFF : 0x00;
  bool allErased = true;
  for (unsigned i = 0; i < sizeof(EFI_FFS_FILE_HEADER) && allErased; ++i) {
    allErased = Read(view, at + i, 1) == erased;
  }
  if (allErased) {
    return EFI_NOT_FOUND;
  }
  const uint8_t attributes = static_cast<uint8_t>(Read(view, at + 19, 1));
  uint64_t size = Size24(view, at + 20);
  uint64_t header = sizeof(EFI_FFS_FILE_HEADER);
  if (attributes & FFS_ATTRIB_LARGE_FILE) {
    if (!volume.ffs3 || volume.end - at < sizeof(EFI_FFS_FILE_HEADER2)) {
      return EFI_VOLUME_CORRUPTED;
    }
    size = Read(view, at + 24, 8);
    header = sizeof(EFI_FFS_FILE_HEADER2);
  }
  if (size < header || size > volume.end - at) {
    return EFI_VOLUME_CORRUPTED;
  }
  uint8_t state = static_cast<uint8_t>(Read(view, at + 23, 1));
  if (volume.erase_polarity) {
    state = static_cast<uint8_t>(~state);
  }
  *file = {at, at + header, at + size, static_cast<uint8_t>(Read(view, at + 18, 1)),
           HighestStateBit(state)};
  return EFI_SUCCESS;
}

// The header checksum: all header bytes sum to 0 with State and IntegrityCheck.File taken as 0.
bool HeaderChecksumValid(const FlashView &view, const FfsFileInfo &file) {
  uint8_t sum = 0;
  for (uint64_t a = file.header; a < file.data; ++a) {
    if (a != file.header + 17 && a != file.header + 23) {
      sum = static_cast<uint8_t>(sum + Read(view, a, 1));
    }
  }
  return sum == 0;
}
} // namespace

EFI_STATUS OpenVolume(const FlashView &view, uint64_t base, FfsVolumeInfo *volume) {
  if (!Inside(view, base, kMinHeaderLength) ||
      Read(view, base + kFvSignatureOffset, 4) != EFI_FVH_SIGNATURE) {
    return EFI_NOT_FOUND;
  }
  const uint64_t length = Read(view, base + kFvLengthOffset, 8);
  const uint64_t headerLength = Read(view, base + kFvHeaderLengthOffset, 2);
  if (headerLength < kMinHeaderLength || headerLength % 2 != 0 || length < headerLength ||
      !Inside(view, base, length)) {
    return EFI_VOLUME_CORRUPTED;
  }
  uint16_t sum = 0;
  for (uint64_t i = 0; i < headerLength; i += 2) {
    sum = static_cast<uint16_t>(sum + Read(view, base + i, 2));
  }
  if (sum != 0) {
    return EFI_VOLUME_CORRUPTED;
  }
  FfsVolumeInfo v;
  v.base = base;
  v.end = base + length;
  v.ffs3 = ReadGuidEquals(view, base + 16, gEfiFirmwareFileSystem3Guid);
  if (!v.ffs3 && !ReadGuidEquals(view, base + 16, gEfiFirmwareFileSystem2Guid)) {
    return EFI_UNSUPPORTED;
  }
  v.erase_polarity = (Read(view, base + kFvAttributesOffset, 4) & EFI_FVB2_ERASE_POLARITY) != 0;
  uint64_t filesStart = headerLength;
  const uint64_t extOffset = Read(view, base + kFvExtHeaderOffsetOffset, 2);
  if (extOffset != 0) {
    if (extOffset < headerLength || length - extOffset < sizeof(EFI_FIRMWARE_VOLUME_EXT_HEADER)) {
      return EFI_VOLUME_CORRUPTED;
    }
    const uint64_t extSize = Read(view, base + extOffset + 16, 4);
    if (extSize < sizeof(EFI_FIRMWARE_VOLUME_EXT_HEADER) || extSize > length - extOffset) {
      return EFI_VOLUME_CORRUPTED;
    }
    filesStart = extOffset + extSize;
  }
  v.first_file = AlignUp(base + filesStart, base, kFileAlignment);
  *volume = v;
  return EFI_SUCCESS;
}

EFI_STATUS FindNextFile(const FlashView &view, uint8_t searchType, uint64_t volumeBase,
                        uint64_t *fileHandle, FfsFileInfo *info) {
  FfsVolumeInfo volume;
  EFI_STATUS status = OpenVolume(view, volumeBase, &volume);
  if (EFI_ERROR(status)) {
    return status;
  }
  uint64_t at = volume.first_file;
  if (*fileHandle != 0) {
    const uint64_t current = *fileHandle;
    if (current < volume.first_file || current >= volume.end ||
        (current - volume.base) % kFileAlignment != 0) {
      return EFI_INVALID_PARAMETER;
    }
    FfsFileInfo file;
    status = ReadFile(view, volume, current, &file);
    if (EFI_ERROR(status)) {
      return status == EFI_NOT_FOUND ? EFI_INVALID_PARAMETER : status;
    }
    at = AlignUp(file.end, volume.base, kFileAlignment);
  }
  for (;;) {
    FfsFileInfo file;
    status = ReadFile(view, volume, at, &file);
    if (EFI_ERROR(status)) {
      return status;
    }
    const bool valid =
        file.state == EFI_FILE_DATA_VALID || file.state == EFI_FILE_MARKED_FOR_UPDATE;
    const bool wanted = file.type != EFI_FV_FILETYPE_FFS_PAD &&
                        (searchType == EFI_FV_FILETYPE_ALL || searchType == file.type);
    if (valid && wanted) {
      if (!HeaderChecksumValid(view, file)) {
        return EFI_VOLUME_CORRUPTED;
      }
      *fileHandle = file.header;
      if (info) {
        *info = file;
      }
      return EFI_SUCCESS;
    }
    at = AlignUp(file.end, volume.base, kFileAlignment);
  }
}

EFI_STATUS FindSectionData(const FlashView &view, uint8_t sectionType, uint64_t fileHandle,
                           uint64_t *sectionData, uint64_t *dataLength) {
  if (!Inside(view, fileHandle, sizeof(EFI_FFS_FILE_HEADER))) {
    return EFI_INVALID_PARAMETER;
  }
  // The file is read as a volume of its own extent: its size bounds the section walk.
  FfsVolumeInfo extent;
  extent.base = fileHandle;
  extent.end = view.end;
  extent.ffs3 = true;
  extent.erase_polarity = true;
  FfsFileInfo file;
  const EFI_STATUS status = ReadFile(view, extent, fileHandle, &file);
  if (EFI_ERROR(status)) {
    return status == EFI_NOT_FOUND ? EFI_INVALID_PARAMETER : status;
  }
  uint64_t at = file.data;
  while (at < file.end && file.end - at >= sizeof(EFI_COMMON_SECTION_HEADER)) {
    uint64_t size = Size24(view, at);
    const uint8_t type = static_cast<uint8_t>(Read(view, at + 3, 1));
    uint64_t header = sizeof(EFI_COMMON_SECTION_HEADER);
    if (size == kFfsSize24Max) {
      if (file.end - at < sizeof(EFI_COMMON_SECTION_HEADER2)) {
        return EFI_VOLUME_CORRUPTED;
      }
      size = Read(view, at + 4, 4);
      header = sizeof(EFI_COMMON_SECTION_HEADER2);
    }
    if (size < header || size > file.end - at) {
      return EFI_VOLUME_CORRUPTED;
    }
    if (sectionType == EFI_SECTION_ALL || type == sectionType) {
      *sectionData = at + header;
      if (dataLength) {
        *dataLength = size - header;
      }
      return EFI_SUCCESS;
    }
    at = AlignUp(at + size, file.data, kSectionAlignment);
  }
  return EFI_NOT_FOUND;
}

} // namespace sim
