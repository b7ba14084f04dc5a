#include "tools/fvpack/flash_image.h"

#include <algorithm>
#include <cstring>

#include "sim/pi/fv_builder.h"
#include "tools/fvpack/lzma_section.h"

namespace fvpack {
namespace {
constexpr EFI_GUID kFfs2Guid = {
    0x8C8CE578, 0x8A3D, 0x4F1C, {0x99, 0x35, 0x89, 0x61, 0x85, 0xC3, 0x2D, 0xD3}};
constexpr EFI_GUID kFfs3Guid = {
    0x5473C07A, 0x3DCB, 0x4DCA, {0xBD, 0x6F, 0x1E, 0x96, 0x89, 0xE7, 0x34, 0x9A}};
constexpr uint32_t kFvSignature = 0x4856465F; // "_FVH"
constexpr uint32_t kErasePolarity = 0x800;
constexpr size_t kVolumeHeaderMin = 56 + 16; // fixed fields, one block map entry, terminator
constexpr uint8_t kAttribLargeFile = 0x01;
constexpr uint8_t kAttribChecksum = 0x40;
constexpr uint8_t kFixedFileChecksum = 0xAA;
constexpr uint8_t kStateDataValid = 0x04;
constexpr uint8_t kStatesDataValid = 0x07; // construction, header valid, data valid
constexpr size_t kMaxSmallSize = 0xFFFFFF;
constexpr uint16_t kGuidedProcessingRequired = 0x01;

EFI_GUID GuidAt(const uint8_t *p) {
  EFI_GUID g;
  std::memcpy(&g, p, sizeof g);
  return g;
}

bool SameGuid(const EFI_GUID &a, const EFI_GUID &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

size_t Align(size_t v, size_t a) { return (v + a - 1) / a * a; }

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

std::vector<Section> ParseSections(const std::vector<uint8_t> &data, size_t start, size_t end,
                                   const std::string &where);

Section ParseSection(const std::vector<uint8_t> &data, size_t at, size_t end,
                     const std::string &where, size_t *next) {
  if (end - at < 4) {
    throw FlashError(where + ": section header at " + Hex(at) + " runs past the end");
  }
  size_t size = ReadLe(&data[at], 3);
  size_t headerSize = 4;
  if (size == kMaxSmallSize) {
    if (end - at < 8) {
      throw FlashError(where + ": large section header at " + Hex(at) + " runs past the end");
    }
    size = ReadLe(&data[at + 4], 4);
    headerSize = 8;
  }
  if (size < headerSize || size > end - at) {
    throw FlashError(where + ": section at " + Hex(at) + " gives size " + Hex(size) +
                     ", outside its file");
  }
  Section s;
  s.type = data[at + 3];
  s.offset = at;
  size_t bodyStart = headerSize;
  if (s.type == kSectionGuidDefined) {
    if (size < headerSize + 20) {
      throw FlashError(where + ": GUIDed section at " + Hex(at) + " is shorter than its header");
    }
    s.guid = GuidAt(&data[at + headerSize]);
    bodyStart = ReadLe(&data[at + headerSize + 16], 2);
    if (bodyStart < headerSize + 20 || bodyStart > size) {
      throw FlashError(where + ": GUIDed section at " + Hex(at) + " has data offset " +
                       Hex(bodyStart) + " outside the section");
    }
  }
  s.header.assign(data.begin() + at, data.begin() + at + bodyStart);
  s.body.assign(data.begin() + at + bodyStart, data.begin() + at + size);
  const std::string inner = where + ", section at " + Hex(at);
  if (s.type == kSectionGuidDefined && SameGuid(s.guid, kLzmaSectionGuid)) {
    s.lzma = true;
    const std::vector<uint8_t> decoded = LzmaDecompress(s.body, inner);
    s.decoded_size = decoded.size();
    s.children = ParseSections(decoded, 0, decoded.size(), inner + " (decompressed)");
  } else if (s.type == kSectionGuidDefined &&
             (ReadLe(&data[at + headerSize + 18], 2) & kGuidedProcessingRequired) == 0) {
    s.children = ParseSections(s.body, 0, s.body.size(), inner);
  } else if (s.type == kSectionFvImage) {
    s.volume = std::make_unique<Volume>(ParseVolume(s.body, 0, inner));
  }
  *next = at + size;
  return s;
}

std::vector<Section> ParseSections(const std::vector<uint8_t> &data, size_t start, size_t end,
                                   const std::string &where) {
  std::vector<Section> sections;
  size_t at = start;
  while (true) {
    at = start + Align(at - start, 4);
    if (at >= end) {
      break;
    }
    size_t next = 0;
    sections.push_back(ParseSection(data, at, end, where, &next));
    at = next;
  }
  return sections;
}

bool HasSections(uint8_t type) { return type != kFileRaw && type != kFilePad; }

void SerializeSections(const std::vector<Section> &sections, std::vector<uint8_t> &out,
                       size_t base);

std::vector<uint8_t> SerializeSection(const Section &s) {
  if (!s.dirty) {
    std::vector<uint8_t> bytes = s.header;
    bytes.insert(bytes.end(), s.body.begin(), s.body.end());
    return bytes;
  }
  std::vector<uint8_t> body;
  if (s.volume) {
    body = SerializeVolume(*s.volume);
  } else if (s.lzma) {
    std::vector<uint8_t> decoded;
    SerializeSections(s.children, decoded, 0);
    body = LzmaCompress(decoded);
  } else if (s.type == kSectionGuidDefined) {
    SerializeSections(s.children, body, 0);
  } else {
    body = s.body;
  }
  std::vector<uint8_t> header = s.header;
  const size_t total = header.size() + body.size();
  const bool large = ReadLe(header.data(), 3) == kMaxSmallSize;
  if (!large && total >= kMaxSmallSize) {
    throw FlashError("a re-encoded " + SectionTypeName(s.type) + " section grew to " + Hex(total) +
                     " bytes, past what its header can give");
  }
  if (large) {
    for (int i = 0; i < 4; ++i) {
      header[4 + i] = static_cast<uint8_t>(total >> (8 * i));
    }
  } else {
    for (int i = 0; i < 3; ++i) {
      header[i] = static_cast<uint8_t>(total >> (8 * i));
    }
  }
  header.insert(header.end(), body.begin(), body.end());
  return header;
}

void SerializeSections(const std::vector<Section> &sections, std::vector<uint8_t> &out,
                       size_t base) {
  for (const Section &s : sections) {
    while ((out.size() - base) % 4 != 0) {
      out.push_back(0);
    }
    const std::vector<uint8_t> bytes = SerializeSection(s);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
}

std::vector<uint8_t> SerializeFile(const FfsFile &f, bool erasePolarity, bool ffs3) {
  if (!f.dirty) {
    return f.bytes;
  }
  std::vector<uint8_t> data;
  SerializeSections(f.sections, data, 0);
  return BuildFfsFile(f.name, f.type, f.attributes, data, erasePolarity, ffs3);
}
} // namespace

uint32_t ReadLe(const uint8_t *p, unsigned width) {
  uint32_t v = 0;
  for (unsigned i = 0; i < width; ++i) {
    v |= static_cast<uint32_t>(p[i]) << (8 * i);
  }
  return v;
}

uint8_t Checksum8(const uint8_t *data, size_t size) {
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) {
    sum = static_cast<uint8_t>(sum + data[i]);
  }
  return static_cast<uint8_t>(-sum);
}

uint16_t Checksum16(const uint8_t *data, size_t size) {
  uint16_t sum = 0;
  for (size_t i = 0; i + 1 < size; i += 2) {
    sum = static_cast<uint16_t>(sum + ReadLe(data + i, 2));
  }
  return static_cast<uint16_t>(-sum);
}

std::vector<uint8_t> BuildSection(uint8_t type, const std::vector<uint8_t> &body) {
  const size_t total = body.size() + 4;
  if (total >= kMaxSmallSize) {
    throw FlashError("a section of " + Hex(total) + " bytes is too large");
  }
  std::vector<uint8_t> s = {static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8),
                            static_cast<uint8_t>(total >> 16), type};
  s.insert(s.end(), body.begin(), body.end());
  return s;
}

void AppendSection(std::vector<uint8_t> &data, const std::vector<uint8_t> &section) {
  while (data.size() % 4 != 0) {
    data.push_back(0);
  }
  data.insert(data.end(), section.begin(), section.end());
}

std::vector<uint8_t> BuildFfsFile(const EFI_GUID &name, uint8_t type, uint8_t attributes,
                                  const std::vector<uint8_t> &data, bool erasePolarity,
                                  bool allowLarge) {
  const bool large = data.size() + 24 > kMaxSmallSize;
  if (large && !allowLarge) {
    throw FlashError("a file of " + Hex(data.size() + 24) +
                     " bytes needs a large-file header, which this volume's file system lacks");
  }
  const size_t headerSize = large ? 32 : 24;
  const size_t total = headerSize + data.size();
  std::vector<uint8_t> f(headerSize, 0);
  std::memcpy(f.data(), &name, sizeof name);
  f[18] = type;
  f[19] = static_cast<uint8_t>(large ? (attributes | kAttribLargeFile)
                                     : (attributes & ~kAttribLargeFile));
  if (large) {
    for (int i = 0; i < 8; ++i) {
      f[24 + i] = static_cast<uint8_t>(static_cast<uint64_t>(total) >> (8 * i));
    }
  } else {
    f[20] = static_cast<uint8_t>(total);
    f[21] = static_cast<uint8_t>(total >> 8);
    f[22] = static_cast<uint8_t>(total >> 16);
  }
  // The header checksum counts State and the file checksum as zero.
  f[16] = Checksum8(f.data(), headerSize);
  f[17] = (f[19] & kAttribChecksum) != 0 ? Checksum8(data.data(), data.size()) : kFixedFileChecksum;
  f[23] = erasePolarity ? static_cast<uint8_t>(~kStatesDataValid) : kStatesDataValid;
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

Volume ParseVolume(const std::vector<uint8_t> &bytes, size_t offset, const std::string &where) {
  const std::string here = where + ": volume at " + Hex(offset);
  if (offset > bytes.size() || bytes.size() - offset < kVolumeHeaderMin ||
      ReadLe(&bytes[offset + 40], 4) != kFvSignature) {
    throw FlashError(here + ": not a firmware volume (no _FVH signature)");
  }
  Volume v;
  v.offset = offset;
  const uint8_t *h = &bytes[offset];
  v.length = ReadLe(h + 32, 4) | static_cast<uint64_t>(ReadLe(h + 36, 4)) << 32;
  v.header_length = ReadLe(h + 48, 2);
  if (v.length > bytes.size() - offset || v.header_length < kVolumeHeaderMin ||
      v.header_length > v.length) {
    throw FlashError(here + ": length " + Hex(v.length) + " or header length " +
                     Hex(v.header_length) + " does not fit the " + Hex(bytes.size() - offset) +
                     " bytes there");
  }
  if (Checksum16(h, v.header_length) != 0) {
    throw FlashError(here + ": bad header checksum");
  }
  const EFI_GUID fs = GuidAt(h + 16);
  v.ffs3 = SameGuid(fs, kFfs3Guid);
  if (!v.ffs3 && !SameGuid(fs, kFfs2Guid)) {
    throw FlashError(here + ": file system " + sim::GuidText(fs) + " is not FFS2 or FFS3");
  }
  v.erase_polarity = (ReadLe(h + 44, 4) & kErasePolarity) != 0;
  v.bytes.assign(bytes.begin() + offset, bytes.begin() + offset + v.length);
  size_t first = v.header_length;
  const size_t ext = ReadLe(h + 52, 2);
  if (ext != 0) {
    if (ext + 20 > v.length) {
      throw FlashError(here + ": extension header outside the volume");
    }
    v.name = GuidAt(&v.bytes[ext]);
    first = ext + ReadLe(&v.bytes[ext + 16], 4);
  }
  v.first_file = Align(first, 8);
  if (v.first_file > v.length) {
    throw FlashError(here + ": headers end past the volume");
  }
  const uint8_t erased = v.erase_polarity ? 0xFF : 0x00;
  size_t at = v.first_file;
  while (at + 24 <= v.length) {
    const uint8_t *fh = &v.bytes[at];
    if (std::all_of(fh, fh + 24, [&](uint8_t b) { return b == erased; })) {
      break; // free space
    }
    FfsFile f;
    f.offset = at;
    f.name = GuidAt(fh);
    f.type = fh[18];
    f.attributes = fh[19];
    size_t size = ReadLe(fh + 20, 3);
    f.header_size = 24;
    if ((f.attributes & kAttribLargeFile) != 0 && v.ffs3) {
      size = ReadLe(fh + 24, 4) | static_cast<uint64_t>(ReadLe(fh + 28, 4)) << 32;
      f.header_size = 32;
    }
    const std::string fileWhere = here + ", file " + sim::GuidText(f.name) + " at " + Hex(at);
    if (size < f.header_size || size > v.length - at) {
      throw FlashError(fileWhere + ": size " + Hex(size) + " runs past the volume");
    }
    std::vector<uint8_t> header(fh, fh + f.header_size);
    header[17] = 0;
    header[23] = 0;
    if (Checksum8(header.data(), header.size()) != 0) {
      throw FlashError(fileWhere + ": bad header checksum");
    }
    const uint8_t state = v.erase_polarity ? static_cast<uint8_t>(~fh[23]) : fh[23];
    if ((f.attributes & kAttribChecksum) != 0 &&
        Checksum8(fh + f.header_size, size - f.header_size) != fh[17]) {
      throw FlashError(fileWhere + ": bad data checksum");
    }
    f.bytes.assign(fh, fh + size);
    // Only files whose highest state bit is data-valid exist for a firmware core.
    const bool valid = state >= kStateDataValid && state < (kStateDataValid << 1);
    if (valid && HasSections(f.type)) {
      f.sections = ParseSections(f.bytes, f.header_size, size, fileWhere);
    }
    if (valid) {
      v.files.push_back(std::move(f));
    }
    at = Align(at + size, 8);
  }
  return v;
}

FlashImage ParseFlash(std::vector<uint8_t> bytes, const std::string &source) {
  FlashImage image;
  image.source = source;
  image.bytes = std::move(bytes);
  size_t at = 0;
  while (at + kVolumeHeaderMin <= image.bytes.size()) {
    const uint8_t *h = &image.bytes[at];
    const size_t headerLength = ReadLe(h + 48, 2);
    if (ReadLe(h + 40, 4) == kFvSignature && headerLength >= kVolumeHeaderMin &&
        headerLength <= image.bytes.size() - at && Checksum16(h, headerLength) == 0) {
      image.volumes.push_back(ParseVolume(image.bytes, at, source));
      at += Align(image.volumes.back().length, 8);
    } else {
      at += 8;
    }
  }
  if (image.volumes.empty()) {
    throw FlashError(source + ": no firmware volume in the file");
  }
  return image;
}

std::vector<uint8_t> SerializeVolume(const Volume &v) {
  if (!v.dirty) {
    return v.bytes;
  }
  const uint8_t erased = v.erase_polarity ? 0xFF : 0x00;
  std::vector<uint8_t> out(v.length, erased);
  std::copy_n(v.bytes.begin(), v.first_file, out.begin());
  size_t cursor = v.first_file;
  for (const FfsFile &f : v.files) {
    const std::vector<uint8_t> bytes =
        f.build ? f.build(f.offset) : SerializeFile(f, v.erase_polarity, v.ffs3);
    if (f.offset < cursor || f.offset + bytes.size() > v.length) {
      throw FlashError("file " + sim::GuidText(f.name) + " does not fit at " + Hex(f.offset));
    }
    // A gap before the file becomes a pad file, as firmware cores step over erased-looking
    // headers only at the end of the files.
    if (f.offset > cursor) {
      const size_t gap = f.offset - cursor;
      if (gap < 24) {
        throw FlashError("a gap of " + std::to_string(gap) + " bytes before file " +
                         sim::GuidText(f.name) + " is too small for a pad file");
      }
      EFI_GUID padName;
      std::memset(&padName, 0xFF, sizeof padName);
      std::vector<uint8_t> padData(gap - 24, erased);
      const std::vector<uint8_t> pad =
          BuildFfsFile(padName, kFilePad, 0, padData, v.erase_polarity, false);
      std::copy(pad.begin(), pad.end(), out.begin() + cursor);
    }
    std::copy(bytes.begin(), bytes.end(), out.begin() + f.offset);
    cursor = Align(f.offset + bytes.size(), 8);
  }
  // The header checksum covers the header only: recompute it in case attributes were kept.
  out[50] = out[51] = 0;
  const uint16_t sum = Checksum16(out.data(), v.header_length);
  out[50] = static_cast<uint8_t>(sum);
  out[51] = static_cast<uint8_t>(sum >> 8);
  return out;
}

std::vector<uint8_t> SerializeFlash(const FlashImage &image) {
  std::vector<uint8_t> out = image.bytes;
  for (const Volume &v : image.volumes) {
    if (v.dirty) {
      const std::vector<uint8_t> bytes = SerializeVolume(v);
      std::copy(bytes.begin(), bytes.end(), out.begin() + v.offset);
    }
  }
  return out;
}

namespace {
void CollectSections(std::vector<Section> &sections, std::vector<bool *> chain,
                     std::vector<VolumePath> &out);

void CollectVolume(Volume &v, std::vector<bool *> chain, std::vector<VolumePath> &out) {
  chain.push_back(&v.dirty);
  out.push_back({&v, chain});
  for (FfsFile &f : v.files) {
    std::vector<bool *> fileChain = chain;
    fileChain.push_back(&f.dirty);
    CollectSections(f.sections, fileChain, out);
  }
}

void CollectSections(std::vector<Section> &sections, std::vector<bool *> chain,
                     std::vector<VolumePath> &out) {
  for (Section &s : sections) {
    std::vector<bool *> sectionChain = chain;
    sectionChain.push_back(&s.dirty);
    if (s.volume) {
      CollectVolume(*s.volume, sectionChain, out);
    }
    CollectSections(s.children, sectionChain, out);
  }
}
} // namespace

std::vector<VolumePath> AllVolumes(FlashImage &image) {
  std::vector<VolumePath> out;
  for (Volume &v : image.volumes) {
    CollectVolume(v, {}, out);
  }
  return out;
}

std::string FileTypeName(uint8_t type) {
  switch (type) {
  case 0x01:
    return "raw";
  case 0x02:
    return "freeform";
  case 0x03:
    return "security-core";
  case 0x04:
    return "pei-core";
  case 0x05:
    return "dxe-core";
  case 0x06:
    return "peim";
  case 0x07:
    return "driver";
  case 0x08:
    return "combined-peim-driver";
  case 0x09:
    return "application";
  case 0x0A:
    return "smm";
  case 0x0B:
    return "volume-image";
  case 0x0C:
    return "combined-smm-dxe";
  case 0x0D:
    return "smm-core";
  case 0xF0:
    return "pad";
  default:
    return "type-" + Hex(type);
  }
}

std::string SectionTypeName(uint8_t type) {
  switch (type) {
  case 0x01:
    return "compression";
  case 0x02:
    return "guided";
  case 0x03:
    return "disposable";
  case 0x10:
    return "pe32";
  case 0x11:
    return "pic";
  case 0x12:
    return "te";
  case 0x13:
    return "dxe-depex";
  case 0x14:
    return "version";
  case 0x15:
    return "ui";
  case 0x16:
    return "compat16";
  case 0x17:
    return "volume-image";
  case 0x18:
    return "freeform-subtype";
  case 0x19:
    return "raw";
  case 0x1B:
    return "pei-depex";
  case 0x1C:
    return "smm-depex";
  default:
    return "type-" + Hex(type);
  }
}

} // namespace fvpack
