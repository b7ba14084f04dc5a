#include "sim/pi/pe_image.h"
#include "sim/core/hex_text.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {
constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kBaseRelocationDirectory = 5;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kSectionDiscardable = 0x02000000; // IMAGE_SCN_MEM_DISCARDABLE (.reloc)
// Base relocation types.
constexpr uint32_t kRelAbsolute = 0; // padding
constexpr uint32_t kRelHighLow = 3;  // 32-bit address
constexpr uint32_t kRelDir64 = 10;   // 64-bit address

} // namespace

uint32_t PeImage::U16(size_t at) const {
  if (at + 2 > bytes_.size()) {
    throw PeImageError("truncated at offset " + Hex(at));
  }
  return bytes_[at] | bytes_[at + 1] << 8;
}

uint32_t PeImage::U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }

uint64_t PeImage::U64(size_t at) const {
  return U32(at) | static_cast<uint64_t>(U32(at + 4)) << 32;
}

PeImage::PeImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
  if (bytes_.size() < 0x40 || U16(0) != 0x5A4D) {
    throw PeImageError("no MZ header");
  }
  const size_t pe = U32(0x3C);
  if (U32(pe) != kPeSignature) {
    throw PeImageError("no PE signature");
  }
  machine_ = static_cast<uint16_t>(U16(pe + 4));
  const uint32_t sectionCount = U16(pe + 6);
  const uint32_t optionalSize = U16(pe + 20);
  optional_header_ = pe + 24;
  const uint32_t magic = U16(optional_header_);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
    throw PeImageError("optional header magic " + Hex(magic) + " is neither PE32 nor PE32+");
  }
  pe32_plus_ = magic == kMagicPe32Plus;
  entry_rva_ = U32(optional_header_ + 16);
  image_base_ = pe32_plus_ ? U64(optional_header_ + 24) : U32(optional_header_ + 28);
  section_alignment_ = U32(optional_header_ + 32);
  size_of_image_ = U32(optional_header_ + 56);
  size_of_headers_ = U32(optional_header_ + 60);
  const size_t directoryCount = U32(optional_header_ + (pe32_plus_ ? 108 : 92));
  const size_t directories = optional_header_ + (pe32_plus_ ? 112 : 96);
  if (directoryCount > kBaseRelocationDirectory) {
    reloc_rva_ = U32(directories + kBaseRelocationDirectory * 8);
    reloc_size_ = U32(directories + kBaseRelocationDirectory * 8 + 4);
  }
  const size_t table = optional_header_ + optionalSize;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const size_t at = table + i * kSectionHeaderSize;
    U32(at + kSectionHeaderSize - 4); // the whole header must be in the file
    std::string name(reinterpret_cast<const char *>(&bytes_[at]), 8);
    name.resize(std::min(name.find('\0'), name.size()));
    const PeSection s{name, U32(at + 12), U32(at + 8), U32(at + 20), U32(at + 16), U32(at + 36)};
    if (s.raw_size != 0 &&
        (s.raw_offset > bytes_.size() || s.raw_size > bytes_.size() - s.raw_offset)) {
      throw PeImageError("section " + name + " lies beyond the end of the file");
    }
    if (static_cast<uint64_t>(s.virtual_address) + std::max(s.virtual_size, s.raw_size) >
        size_of_image_) {
      throw PeImageError("section " + name + " lies beyond SizeOfImage");
    }
    sections_.push_back(s);
  }
  if (entry_rva_ >= size_of_image_) {
    throw PeImageError("entry point " + Hex(entry_rva_) + " lies beyond SizeOfImage");
  }
}

bool PeImage::ExecutesInPlace() const {
  return std::all_of(sections_.begin(), sections_.end(), [](const PeSection &s) {
    return s.raw_size == 0 || s.raw_offset == s.virtual_address ||
           (s.characteristics & kSectionDiscardable) != 0;
  });
}

size_t PeImage::FileOffset(uint32_t rva, size_t length) const {
  if (rva < size_of_headers_ && length <= size_of_headers_ - rva && rva + length <= bytes_.size()) {
    return rva;
  }
  for (const PeSection &s : sections_) {
    if (rva >= s.virtual_address && rva - s.virtual_address < s.raw_size &&
        length <= s.raw_size - (rva - s.virtual_address)) {
      return s.raw_offset + (rva - s.virtual_address);
    }
  }
  throw PeImageError("RVA " + Hex(rva) + " is not backed by the file");
}

template <typename Visit>
void PeImage::ForEachRelocation(Visit visit) const {
  if (reloc_size_ == 0) {
    return;
  }
  const size_t table = FileOffset(reloc_rva_, reloc_size_);
  size_t at = 0;
  while (at + 8 <= reloc_size_) {
    const uint32_t page = U32(table + at);
    const uint32_t blockSize = U32(table + at + 4);
    if (blockSize < 8 || blockSize > reloc_size_ - at) {
      throw PeImageError("relocation block at " + Hex(reloc_rva_ + at) + " has size " +
                         Hex(blockSize));
    }
    for (size_t e = 8; e + 2 <= blockSize; e += 2) {
      const uint32_t entry = U16(table + at + e);
      const uint32_t type = entry >> 12;
      if (type == kRelAbsolute) {
        continue;
      }
      if (type != (pe32_plus_ ? kRelDir64 : kRelHighLow)) {
        throw PeImageError("relocation type " + std::to_string(type) + " at " +
                           Hex(page + (entry & 0xFFF)) + " is not the image's pointer width");
      }
      visit(page + (entry & 0xFFF));
    }
    at += blockSize;
  }
}

std::vector<uint32_t> PeImage::RelocationSites() const {
  std::vector<uint32_t> sites;
  ForEachRelocation([&](uint32_t rva) { sites.push_back(rva); });
  return sites;
}

void PeImage::Rebase(uint64_t newBase) {
  if (!pe32_plus_ && newBase > 0xFFFFFFFFull) {
    throw PeImageError("a PE32 image cannot be based at " + Hex(newBase));
  }
  const uint64_t delta = newBase - image_base_;
  const unsigned width = pe32_plus_ ? 8 : 4;
  ForEachRelocation([&](uint32_t rva) {
    const size_t at = FileOffset(rva, width);
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
      value |= static_cast<uint64_t>(bytes_[at + i]) << (8 * i);
    }
    value += delta;
    for (unsigned i = 0; i < width; ++i) {
      bytes_[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
  });
  const size_t field = optional_header_ + (pe32_plus_ ? 24 : 28);
  for (unsigned i = 0; i < width; ++i) {
    bytes_[field + i] = static_cast<uint8_t>(newBase >> (8 * i));
  }
  image_base_ = newBase;
}

std::vector<uint8_t> PeImage::Loaded() const {
  std::vector<uint8_t> image(size_of_image_, 0);
  std::copy_n(bytes_.begin(), std::min<size_t>({size_of_headers_, bytes_.size(), image.size()}),
              image.begin());
  for (const PeSection &s : sections_) {
    const size_t n = std::min<size_t>(s.raw_size, size_of_image_ - s.virtual_address);
    std::copy_n(bytes_.begin() + s.raw_offset, n, image.begin() + s.virtual_address);
  }
  return image;
}

} // namespace sim
