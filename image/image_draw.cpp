// Finding a BMP file by its file name GUID in the firmware volumes of the top 16 MiB of flash
// and drawing it. Flash is read through the access layer only; files and sections are found by
// the PEI core's FFS services. Header fields and names are read through FlashReader, a dword at a
// time.
//
// Volumes are looked for on 64 KiB boundaries from 0xFF000000 up to, not including, 0xFFFF0000;
// a candidate needs only the "_FVH" signature and a length below 16 MiB. The first file with the
// wanted name, in address order, ends the search whether or not it is drawn.
#include "image/image_draw.h"
#include "include/boot_phase.h"

#include "access/mmio.h"
#include "image/bmp_draw.h"
#include "image/flash_reader.h"
#include "include/screen.h"
#include "uefi/pi_firmware_volume.h"

namespace {
constexpr UINT64 kScanFirst = 0xFF000000;
constexpr UINT64 kScanEnd = 0xFFFF0000; // exclusive: the top 64 KiB holds no image volume
constexpr UINT64 kScanStep = 0x10000;
constexpr UINT64 kVolumeSizeLimit = 0x1000000;
// Bounds are computed in 64 bits so that a volume near the top of memory cannot wrap.
constexpr UINT64 kAddressSpaceEnd = 0x100000000ull;

// Size fields of FFS headers, in the published byte positions.
constexpr UINT32 kFileAttributesOffset = 19;
constexpr UINT32 kFileSizeOffset = 20;
constexpr UINTN kFileExtendedSizeOffset = 24;
constexpr UINT32 kSectionTypeOffset = 3;
constexpr UINT32 kSectionExtendedSizeOffset = 4;

struct Span {
  UINT64 start;
  UINT64 end; // exclusive
};

constexpr unsigned kBitsPerByte = 8;

UINT32 ReadSize24(FlashReader &header, UINT32 offset) {
  return header.Read16(offset) | static_cast<UINT32>(header.Read8(offset + 2))
                                     << (2 * kBitsPerByte);
}

// A volume header's signature and a length below the limit; the length is handed back.
bool IsVolumeCandidate(UINT64 address, UINT64 *length) {
  if (MmioRead32(static_cast<UINTN>(address + kFvSignatureOffset)) != EFI_FVH_SIGNATURE) {
    return false;
  }
  *length = MmioRead64(static_cast<UINTN>(address + kFvLengthOffset));
  return *length < kVolumeSizeLimit;
}

Span VolumeSpan(UINT64 volume, UINT64 length) {
  const UINT64 end = volume + length;
  return {volume, end < kAddressSpaceEnd ? end : kAddressSpaceEnd};
}

bool Contains(const Span &span, UINT64 address, UINT64 size) {
  return address >= span.start && address <= span.end && size <= span.end - address;
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

// The bytes of the file at `file`, within its volume; empty when the header does not fit.
Span FileSpan(const Span &volume, UINTN file) {
  if (!Contains(volume, file, sizeof(EFI_FFS_FILE_HEADER))) {
    return {0, 0};
  }
  FlashReader fields(file, sizeof(EFI_FFS_FILE_HEADER));
  const UINT8 attributes = fields.Read8(kFileAttributesOffset);
  UINT64 size = ReadSize24(fields, kFileSizeOffset);
  UINT64 header = sizeof(EFI_FFS_FILE_HEADER);
  if ((attributes & FFS_ATTRIB_LARGE_FILE) != 0) {
    if (!Contains(volume, file, sizeof(EFI_FFS_FILE_HEADER2))) {
      return {0, 0};
    }
    size = MmioRead64(file + kFileExtendedSizeOffset);
    header = sizeof(EFI_FFS_FILE_HEADER2);
  }
  if (size < header) {
    return {0, 0};
  }
  const UINT64 end = size <= volume.end - file ? file + size : volume.end;
  return {file + header, end};
}

// Length of the raw section whose data starts at `data`, read from the section header before it
// and bounded by the file that holds it; 0 when no raw section header precedes the data.
UINT32 RawSectionLength(const Span &fileData, UINTN data) {
  const UINT64 at = data;
  if (at < fileData.start + sizeof(EFI_COMMON_SECTION_HEADER) || at > fileData.end) {
    return 0;
  }
  UINT64 sectionStart = at - sizeof(EFI_COMMON_SECTION_HEADER);
  FlashReader common(static_cast<UINTN>(sectionStart), sizeof(EFI_COMMON_SECTION_HEADER));
  UINT64 size = ReadSize24(common, 0);
  UINT8 type = common.Read8(kSectionTypeOffset);
  if (size == kFfsSize24Max || type != EFI_SECTION_RAW) {
    // Perhaps the large form, whose 32-bit size sits between the common header and the data.
    if (at < fileData.start + sizeof(EFI_COMMON_SECTION_HEADER2)) {
      return 0;
    }
    sectionStart = at - sizeof(EFI_COMMON_SECTION_HEADER2);
    FlashReader large(static_cast<UINTN>(sectionStart), sizeof(EFI_COMMON_SECTION_HEADER2));
    type = large.Read8(kSectionTypeOffset);
    if (ReadSize24(large, 0) != kFfsSize24Max || type != EFI_SECTION_RAW) {
      return 0;
    }
    size = large.Read32(kSectionExtendedSizeOffset);
  }
  const UINT64 header = at - sectionStart;
  if (size < header) {
    return 0;
  }
  const UINT64 end = size <= fileData.end - sectionStart ? sectionStart + size : fileData.end;
  return static_cast<UINT32>(end - at);
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
      RawSectionLength(FileSpan(volume, fileAddress), reinterpret_cast<UINTN>(data));
  UINT32 width = 0;
  UINT32 height = 0;
  DrawBitmap(reinterpret_cast<UINTN>(data), length, kBmpSizeLimit, kFrameBufferBase, leftMargin,
             bottomMargin, highPalette, &width, &height);
}
} // namespace

BOOT_PHASE EFI_STATUS DrawImageFile(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *fileGuid,
                                    uint32_t *bottomMargin, uint32_t *leftMargin,
                                    uint32_t highPalette) {
  for (UINT64 address = kScanFirst; address < kScanEnd; address += kScanStep) {
    UINT64 length = 0;
    if (!IsVolumeCandidate(address, &length)) {
      continue;
    }
    const Span volume = VolumeSpan(address, length);
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
