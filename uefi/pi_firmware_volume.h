// Firmware volume and firmware file system layouts of the PI specification, volume 3: the volume
// header with its block map and extension header, FFS file headers (small and large), section
// headers, file and section types, file states and the attribute bits this system uses.
// All structures are little-endian and byte-packed as published.
#pragma once

#include "uefi/uefi_base.h"

constexpr EFI_STATUS EFI_VOLUME_CORRUPTED = EfiError(10);

// File systems a volume header can name. FFS2 holds files below 16 MiB only; FFS3 adds large
// files with a 64-bit extended size.
inline constexpr EFI_GUID gEfiFirmwareFileSystem2Guid = {
    0x8C8CE578, 0x8A3D, 0x4F1C, {0x99, 0x35, 0x89, 0x61, 0x85, 0xC3, 0x2D, 0xD3}};
inline constexpr EFI_GUID gEfiFirmwareFileSystem3Guid = {
    0x5473C07A, 0x3DCB, 0x4DCA, {0xBD, 0x6F, 0x1E, 0x96, 0x89, 0xE7, 0x34, 0x9A}};

constexpr UINT32 EFI_FVH_SIGNATURE = 0x4856465F; // "_FVH"
constexpr UINT8 EFI_FVH_REVISION = 0x02;

// EFI_FVB_ATTRIBUTES_2 bits used by volumes this system builds and reads.
constexpr UINT32 EFI_FVB2_READ_ENABLED_CAP = 0x00000002;
constexpr UINT32 EFI_FVB2_READ_STATUS = 0x00000004;
constexpr UINT32 EFI_FVB2_MEMORY_MAPPED = 0x00000400;
constexpr UINT32 EFI_FVB2_ERASE_POLARITY = 0x00000800;
constexpr UINT32 EFI_FVB2_ALIGNMENT_8 = 0x00030000;

struct EFI_FV_BLOCK_MAP_ENTRY {
  UINT32 NumBlocks;
  UINT32 Length;
};

#pragma pack(push, 1)
struct EFI_FIRMWARE_VOLUME_HEADER {
  UINT8 ZeroVector[16];
  EFI_GUID FileSystemGuid;
  UINT64 FvLength;
  UINT32 Signature;
  UINT32 Attributes;
  UINT16 HeaderLength;
  UINT16 Checksum;
  UINT16 ExtHeaderOffset;
  UINT8 Reserved[1];
  UINT8 Revision;
  EFI_FV_BLOCK_MAP_ENTRY BlockMap[1]; // terminated by a { 0, 0 } entry
};

struct EFI_FIRMWARE_VOLUME_EXT_HEADER {
  EFI_GUID FvName;
  UINT32 ExtHeaderSize;
};

struct EFI_FFS_INTEGRITY_CHECK {
  UINT8 Header;
  UINT8 File;
};

struct EFI_FFS_FILE_HEADER {
  EFI_GUID Name;
  EFI_FFS_INTEGRITY_CHECK IntegrityCheck;
  UINT8 Type;
  UINT8 Attributes;
  UINT8 Size[3];
  UINT8 State;
};

struct EFI_FFS_FILE_HEADER2 {
  EFI_GUID Name;
  EFI_FFS_INTEGRITY_CHECK IntegrityCheck;
  UINT8 Type;
  UINT8 Attributes;
  UINT8 Size[3]; // 0 when FFS_ATTRIB_LARGE_FILE is set
  UINT8 State;
  UINT64 ExtendedSize;
};

struct EFI_COMMON_SECTION_HEADER {
  UINT8 Size[3];
  UINT8 Type;
};

struct EFI_COMMON_SECTION_HEADER2 {
  UINT8 Size[3]; // 0xFFFFFF: the size is in ExtendedSize
  UINT8 Type;
  UINT32 ExtendedSize;
};
#pragma pack(pop)

static_assert(sizeof(EFI_FIRMWARE_VOLUME_HEADER) == 0x40);
static_assert(sizeof(EFI_FFS_FILE_HEADER) == 24);
static_assert(sizeof(EFI_FFS_FILE_HEADER2) == 32);
static_assert(sizeof(EFI_COMMON_SECTION_HEADER) == 4);
static_assert(sizeof(EFI_COMMON_SECTION_HEADER2) == 8);

// Field offsets in a volume header, for code that reads flash through the access layer.
constexpr UINTN kFvLengthOffset = 0x20;
constexpr UINTN kFvSignatureOffset = 0x28;
constexpr UINTN kFvAttributesOffset = 0x2C;
constexpr UINTN kFvHeaderLengthOffset = 0x30;
constexpr UINTN kFvExtHeaderOffsetOffset = 0x34;
constexpr UINTN kFvBlockMapOffset = 0x38;

// File types.
constexpr UINT8 EFI_FV_FILETYPE_ALL = 0x00;
constexpr UINT8 EFI_FV_FILETYPE_RAW = 0x01;
constexpr UINT8 EFI_FV_FILETYPE_FREEFORM = 0x02;
constexpr UINT8 EFI_FV_FILETYPE_PEIM = 0x06;
constexpr UINT8 EFI_FV_FILETYPE_FFS_PAD = 0xF0;

// File attributes.
constexpr UINT8 FFS_ATTRIB_LARGE_FILE = 0x01;
constexpr UINT8 FFS_ATTRIB_CHECKSUM = 0x40;
// IntegrityCheck.File of a file whose data is not checksummed.
constexpr UINT8 FFS_FIXED_CHECKSUM = 0xAA;

// File states, as bits set in order during a file's life (inverted in flash whose erase polarity
// is 1). The highest set bit is the state.
constexpr UINT8 EFI_FILE_HEADER_CONSTRUCTION = 0x01;
constexpr UINT8 EFI_FILE_HEADER_VALID = 0x02;
constexpr UINT8 EFI_FILE_DATA_VALID = 0x04;
constexpr UINT8 EFI_FILE_MARKED_FOR_UPDATE = 0x08;
constexpr UINT8 EFI_FILE_DELETED = 0x10;
constexpr UINT8 EFI_FILE_HEADER_INVALID = 0x20;

// Section types.
constexpr UINT8 EFI_SECTION_ALL = 0x00;
constexpr UINT8 EFI_SECTION_PE32 = 0x10;
constexpr UINT8 EFI_SECTION_RAW = 0x19;

// Size fields wider than a section's or small file's 24 bits are held elsewhere.
constexpr UINT32 kFfsSize24Max = 0xFFFFFF;
