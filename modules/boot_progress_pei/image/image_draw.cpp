// Finding a BMP file by its file name GUID in the firmware volumes of the top 16 MiB of flash
// and drawing it. Flash is read through the access layer only; files and sections are found by
// the PEI core's FFS services. Header fields and names are read through FlashReader, a dword at a
// time.
//
// Volumes are looked for on 64 KiB boundaries from 0xFF000000 up to, not including, 0xFFFF0000;
// a candidate needs only the "_FVH" signature and a length below 16 MiB. The first file with the
// wanted name, in address order, ends the search whether or not it is drawn.
#include "modules/boot_progress_pei/image/image_draw.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

#include "access/mmio.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/image/bmp_draw.h"
#include "modules/boot_progress_pei/image/flash_reader.h"
#include "uefi/pi_firmware_volume.h"

namespace {
constexpr UINT32 kScanFirst = 0xFF000000;
constexpr UINT32 kScanEnd = 0xFFFF0000; // exclusive: the top 64 KiB holds no image volume
constexpr UINT32 kScanStep = 0x10000;
constexpr UINT64 kVolumeSizeLimit = 0x1000000;

// Size fields of FFS headers, in the published byte positions.
constexpr UINT32 kFileAttributesOffset = 19;
constexpr UINT32 kFileSizeOffset = 20;
constexpr UINTN kFileExtendedSizeOffset = 24;
constexpr UINT32 kSectionTypeOffset = 3;
constexpr UINT32 kSectionExtendedSizeOffset = 4;

// `size` bytes from `start`. A span never reaches past the top of the 4 GiB space (start + size
// is at most 2^32), so bounds are kept in 32 bits without wrapping.
struct Span {
  UINTN start;
  UINT32 size;
};

UINT32 Smaller(UINT32 a, UINT32 b) { return a < b ? a : b; }

// A volume header's signature and a length below the limit; the length is handed back.
bool IsVolumeCandidate(UINT32 address, UINT32 *length) {
  if (MmioRead32(address + kFvSignatureOffset) != EFI_FVH_SIGNATURE) {
    return false;
  }
  const UINT64 fullLength = MmioRead64(address + kFvLengthOffset);
  *length = static_cast<UINT32>(fullLength);
  return fullLength < kVolumeSizeLimit;
}

// `size` bytes from `address` lie within `span`.
bool Contains(const Span &span, UINTN address, UINT32 size) {
  return address >= span.start && address - span.start <= span.size &&
         size <= span.size - (address - span.start);
}

bool NameMatches(UINTN file, const EFI_GUID *fileGuid) {
  const UINT8 *wanted = reinterpret_cast<const UINT8 *>(fileGuid);
  FlashReader name(file, sizeof(EFI_GUID));
  for (UINT32 i = 0; i < sizeof(EFI_GUID); ++i) {
    if (name.Read8(i) != wanted[i]) {
      return false;
    }
  }
  return true;
}

// The data of the file at `file` (the bytes after its header), cut at the end of its volume;
// empty when the header does not fit in the volume or the file's size is less than its header.
Span FileData(const Span &volume, UINTN file) {
  if (!Contains(volume, file, sizeof(EFI_FFS_FILE_HEADER))) {
    return {0, 0};
  }
  // Bytes from the file's start to the volume's end.
  const UINT32 room = volume.size - static_cast<UINT32>(file - volume.start);
  FlashReader fields(file, sizeof(EFI_FFS_FILE_HEADER));
  const UINT8 attributes = fields.Read8(kFileAttributesOffset);
  UINT32 size = fields.Read24(kFileSizeOffset);
  UINT32 header = sizeof(EFI_FFS_FILE_HEADER);
  if ((attributes & FFS_ATTRIB_LARGE_FILE) != 0) {
    header = sizeof(EFI_FFS_FILE_HEADER2);
    if (room < header) {
      return {0, 0};
    }
    // A 64-bit size past the volume's end is cut to it; the cut size still covers the header.
    const UINT64 extended = MmioRead64(file + kFileExtendedSizeOffset);
    size = extended < room ? static_cast<UINT32>(extended) : room;
  }
  if (size < header) {
    return {0, 0};
  }
  return {file + header, Smaller(size, room) - header};
}

// Length of the raw section whose data starts at `data`, read from the section header before it
// and bounded by the file data that holds it; 0 when no raw section header precedes the data.
UINT32 RawSectionLength(const Span &fileData, UINTN data) {
  if (data < fileData.start) {
    return 0;
  }
  const UINTN offset = data - fileData.start;
  UINT32 header = sizeof(EFI_COMMON_SECTION_HEADER);
  if (offset < header || offset > fileData.size) {
    return 0;
  }
  FlashReader common(data - header, header);
  UINT32 size = common.Read24(0);
  UINT8 type = common.Read8(kSectionTypeOffset);
  if (size == kFfsSize24Max || type != EFI_SECTION_RAW) {
    // Perhaps the large form, whose 32-bit size sits between the common header and the data.
    header = sizeof(EFI_COMMON_SECTION_HEADER2);
    if (offset < header) {
      return 0;
    }
    FlashReader large(data - header, header);
    type = large.Read8(kSectionTypeOffset);
    if (large.Read24(0) != kFfsSize24Max || type != EFI_SECTION_RAW) {
      return 0;
    }
    size = large.Read32(kSectionExtendedSizeOffset);
  }
  if (size < header) {
    return 0;
  }
  // Bytes from the section's start to the end of the file data.
  const UINT32 room = fileData.size - static_cast<UINT32>(offset - header);
  return Smaller(size, room) - header;
}

void DrawFoundFile(const EFI_PEI_SERVICES **peiServices, const Span &volume,
                   EFI_PEI_FILE_HANDLE file, UINT32 *bottomMargin, UINT32 *leftMargin,
                   UINT32 highPalette) {
  VOID *data = nullptr;
  if (EFI_ERROR((*peiServices)->FfsFindSectionData(peiServices, EFI_SECTION_RAW, file, &data))) {
    return;
  }
  const UINTN fileAddress = reinterpret_cast<UINTN>(file);
  const UINT32 length =
      RawSectionLength(FileData(volume, fileAddress), reinterpret_cast<UINTN>(data));
  UINT32 width = 0;
  UINT32 height = 0;
  DrawBitmap(reinterpret_cast<UINTN>(data), length, kBmpSizeLimit, kFrameBufferBase, leftMargin,
             bottomMargin, highPalette, &width, &height);
}
} // namespace

BOOT_PHASE_WITH_ARGUMENTS EFI_STATUS DrawImageFile(const EFI_PEI_SERVICES **peiServices,
                                                   const EFI_GUID *fileGuid, uint32_t *bottomMargin,
                                                   uint32_t *leftMargin, uint32_t highPalette) {
  for (UINT32 address = kScanFirst; address < kScanEnd; address += kScanStep) {
    UINT32 length = 0;
    if (!IsVolumeCandidate(address, &length)) {
      continue;
    }
    // A volume that claims more than is left below 4 GiB ends there.
    const Span volume = {address, Smaller(length, 0u - address)};
    EFI_PEI_FV_HANDLE volumeHandle =
        reinterpret_cast<EFI_PEI_FV_HANDLE>(static_cast<UINTN>(address));
    EFI_PEI_FILE_HANDLE file = nullptr;
    while (!EFI_ERROR(
        (*peiServices)
            ->FfsFindNextFile(peiServices, EFI_FV_FILETYPE_FREEFORM, volumeHandle, &file))) {
      const UINTN fileAddress = reinterpret_cast<UINTN>(file);
      // A handle that is null or outside its volume cannot be read; the volume is done.
      if (file == nullptr || !Contains(volume, fileAddress, sizeof(EFI_GUID))) {
        break;
      }
      if (NameMatches(fileAddress, fileGuid)) {
        DrawFoundFile(peiServices, volume, file, bottomMargin, leftMargin, highPalette);
        return EFI_SUCCESS;
      }
    }
  }
  return EFI_SUCCESS;
}
