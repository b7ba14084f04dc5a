// A flash image as a tree: firmware volumes, their FFS files, the files' sections, and what
// encapsulation sections hold (LZMA-compressed GUIDed sections are decoded, firmware-volume-image
// sections parsed as volumes). The tree can be edited (files added or dropped in a volume) and
// written back: only what changed is re-encoded, every other byte is kept, and checksums are
// recomputed along the changed path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/fvpack/flash_error.h"
#include "uefi/uefi_base.h"

namespace fvpack {

inline constexpr EFI_GUID kLzmaSectionGuid = {
    0xEE4E5898, 0x3914, 0x4259, {0x9D, 0x6E, 0xDC, 0x7B, 0xD7, 0x94, 0x03, 0xCF}};

// Section types of the firmware file system.
enum SectionType : uint8_t {
  kSectionCompression = 0x01,
  kSectionGuidDefined = 0x02,
  kSectionPe32 = 0x10,
  kSectionTe = 0x12,
  kSectionDxeDepex = 0x13,
  kSectionUserInterface = 0x15,
  kSectionFvImage = 0x17,
  kSectionRaw = 0x19,
  kSectionPeiDepex = 0x1B,
  kSectionSmmDepex = 0x1C,
};

// File types of the firmware file system that this tool names.
enum FileType : uint8_t {
  kFileRaw = 0x01,
  kFileFreeform = 0x02,
  kFileSecurityCore = 0x03,
  kFilePeiCore = 0x04,
  kFilePeim = 0x06,
  kFileDriver = 0x07,
  kFileCombinedPeimDriver = 0x08,
  kFileSmm = 0x0A,
  kFilePad = 0xF0,
};

struct Volume;

struct Section {
  uint8_t type = 0;
  std::vector<uint8_t> header; // the whole header, GUIDed fields included
  std::vector<uint8_t> body;   // what follows the header (encoded, for an LZMA section)
  size_t offset = 0;           // within the enclosing file's or decoded section's data
  // GUIDed sections
  EFI_GUID guid{};
  bool lzma = false;
  size_t decoded_size = 0;
  std::vector<Section> children;  // an LZMA section's decoded sections
  std::unique_ptr<Volume> volume; // a firmware-volume-image section's volume
  bool dirty = false;
};

struct FfsFile {
  EFI_GUID name{};
  uint8_t type = 0;
  uint8_t attributes = 0;
  size_t offset = 0;          // within the volume
  size_t header_size = 0;     // 24, or 32 for a large file
  std::vector<uint8_t> bytes; // the whole file as found
  std::vector<Section> sections;
  bool dirty = false;
  // A file added by an edit: builds its bytes for the volume offset it is placed at.
  std::function<std::vector<uint8_t>(size_t offset)> build;
};

struct Volume {
  size_t offset = 0; // within the flash image, or within the data of its section
  uint64_t length = 0;
  size_t header_length = 0;
  size_t first_file = 0;
  bool erase_polarity = true;
  bool ffs3 = false;
  std::optional<EFI_GUID> name; // from the extension header
  std::vector<uint8_t> bytes;   // the volume as found
  std::vector<FfsFile> files;
  bool dirty = false;
};

struct FlashImage {
  std::string source; // file name, for messages
  std::vector<uint8_t> bytes;
  std::vector<Volume> volumes;
};

// Parses every volume found in `bytes` (at 8-byte steps, with a valid header checksum).
// Throws FlashError naming `source` when there is none or one is malformed.
FlashImage ParseFlash(std::vector<uint8_t> bytes, const std::string &source);
// Parses one volume at `offset` of `bytes`.
Volume ParseVolume(const std::vector<uint8_t> &bytes, size_t offset, const std::string &where);

// Writes the tree back: unchanged volumes, files and sections keep their bytes.
std::vector<uint8_t> SerializeFlash(const FlashImage &image);
std::vector<uint8_t> SerializeVolume(const Volume &volume);

// Every volume of the tree, depth first, with the chain of owners for marking edits.
struct VolumePath {
  Volume *volume;
  std::vector<bool *> dirty_flags; // the flags to set, outermost first, when `volume` changes
};
std::vector<VolumePath> AllVolumes(FlashImage &image);

// Checksums and encodings of the firmware file system.
uint8_t Checksum8(const uint8_t *data, size_t size);
uint16_t Checksum16(const uint8_t *data, size_t size);
// An FFS2/3 file from its sections' bytes, with header checksum, data checksum (or the fixed
// value) and state data-valid under `erasePolarity`.
std::vector<uint8_t> BuildFfsFile(const EFI_GUID &name, uint8_t type, uint8_t attributes,
                                  const std::vector<uint8_t> &data, bool erasePolarity,
                                  bool allowLarge);
std::vector<uint8_t> BuildSection(uint8_t type, const std::vector<uint8_t> &body);
// Appends `section` to `data`, 4-byte aligned.
void AppendSection(std::vector<uint8_t> &data, const std::vector<uint8_t> &section);

std::string FileTypeName(uint8_t type);
std::string SectionTypeName(uint8_t type);
uint32_t ReadLe(const uint8_t *p, unsigned width);

} // namespace fvpack
