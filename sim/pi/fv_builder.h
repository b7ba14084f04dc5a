// Building firmware volumes as the PI specification lays them out, for the board's flash and for
// fvpack: an FFS2 volume header (signature, length, attributes, header checksum, a block map of
// 4 KiB blocks), then one FFS file per input, 8-byte aligned, each with its header checksum and
// its state set to data-valid; the file's bytes go into one raw section (files of type raw hold
// them directly). Free space is erased (0xFF; the volume's erase polarity is 1).
//
// A PEI module (type PEIM) executes in place: its PE/COFF image goes into a PE32 section, rebased
// by its relocations to the flash address where that section's data lands (the volume's `base`
// plus its offset), and aligned there to the image's section alignment by a raw pad section before
// it. The image must have file offsets equal to its RVAs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "uefi/pi_firmware_volume.h"

namespace sim {

class FvBuildError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct FvFileSpec {
  EFI_GUID name{};
  uint8_t type = EFI_FV_FILETYPE_FREEFORM;
  std::vector<uint8_t> data;
  std::string source; // where the bytes came from, for messages
};

struct FvManifest {
  std::vector<FvFileSpec> files;
  uint64_t size = 0; // 0: the smallest whole number of blocks that holds the files
  uint64_t base = 0; // flash address of the volume; needed by PEI modules
};

constexpr uint32_t kFvBlockSize = 0x1000;
// The boot-screen lookup skips volumes of 16 MiB or more.
constexpr uint64_t kFvMaxSize = 0x1000000 - kFvBlockSize;
// A manifest lists at most this many files (a volume of that size holds far fewer images).
constexpr size_t kFvMaxFiles = 4096;

// Throws FvBuildError for a duplicate file name, a file too large for its size field, or
// contents that do not fit the requested size.
std::vector<uint8_t> BuildFirmwareVolume(const FvManifest &manifest);

// Reads {"files": [{"guid": "...", "path": "...", "type": "freeform"|"raw"|"peim"|number}],
// "size": n, "base": address}; paths are relative to the manifest. The manifest is a regular file
// of at most 1 MiB with no other keys and no key twice; each listed file is a regular file, and
// together they fit a volume (kFvMaxSize). Throws FvBuildError naming the file, the entry and the
// problem.
FvManifest LoadFvManifest(const std::filesystem::path &manifest);
std::vector<uint8_t> PackManifest(const std::filesystem::path &manifest);

// Registry form, with or without braces: 77605D40-9473-420F-BE3A-6CEB8EF34AE2.
bool ParseGuid(const std::string &text, EFI_GUID *guid);
std::string GuidText(const EFI_GUID &guid);

} // namespace sim
