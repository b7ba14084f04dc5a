// PE/COFF images as firmware-volume tools and loaders see them: the headers a loader needs
// (machine, PE32 or PE32+, image base, entry point, sizes, sections) and the base-relocation table,
// with rebasing to a new image base and loading into an image-sized buffer.
//
// An image executes in place when every section it keeps at run time has its file offset equal to
// its address offset (RVA): the file bytes are then the loaded image, and rebasing the file is all
// a volume build does. Discardable sections (the relocations) may lie elsewhere.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

class PeImageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct PeSection {
  std::string name;
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_offset;
  uint32_t raw_size;
  uint32_t characteristics;
};

class PeImage {
public:
  static constexpr uint16_t kMachineI386 = 0x14C;
  static constexpr uint16_t kMachineAmd64 = 0x8664;
  static constexpr uint32_t kSectionWrite = 0x80000000; // IMAGE_SCN_MEM_WRITE

  // Parses `bytes`; throws PeImageError naming what is wrong.
  explicit PeImage(std::vector<uint8_t> bytes);

  uint16_t Machine() const { return machine_; }
  bool Is64() const { return pe32_plus_; }
  uint64_t ImageBase() const { return image_base_; }
  uint32_t EntryRva() const { return entry_rva_; }
  uint32_t SizeOfImage() const { return size_of_image_; }
  uint32_t SectionAlignment() const { return section_alignment_; }
  const std::vector<PeSection> &Sections() const { return sections_; }
  const std::vector<uint8_t> &Bytes() const { return bytes_; }

  // True when file offsets equal RVAs for every section (see above).
  bool ExecutesInPlace() const;
  // Addresses the relocation table patches, as RVAs.
  std::vector<uint32_t> RelocationSites() const;

  // Applies the base relocations for `newBase` to the file bytes and sets the header's image base.
  // Throws for a relocation type other than the image's pointer width (or padding).
  void Rebase(uint64_t newBase);
  // The image as a loader places it: SizeOfImage bytes, headers and sections at their RVAs, the
  // rest zero (relocated when Rebase ran first).
  std::vector<uint8_t> Loaded() const;

private:
  uint32_t U16(size_t at) const;
  uint32_t U32(size_t at) const;
  uint64_t U64(size_t at) const;
  size_t FileOffset(uint32_t rva, size_t length) const; // throws when not in the file
  template <typename Visit>
  void ForEachRelocation(Visit visit) const;

  std::vector<uint8_t> bytes_;
  uint16_t machine_ = 0;
  bool pe32_plus_ = false;
  size_t optional_header_ = 0;
  uint64_t image_base_ = 0;
  uint32_t entry_rva_ = 0;
  uint32_t size_of_image_ = 0;
  uint32_t size_of_headers_ = 0;
  uint32_t section_alignment_ = 0;
  uint32_t reloc_rva_ = 0;
  uint32_t reloc_size_ = 0;
  std::vector<PeSection> sections_;
};

} // namespace sim
