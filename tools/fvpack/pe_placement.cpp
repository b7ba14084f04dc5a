#include "tools/fvpack/pe_placement.h"

#include <cstring>

#include "sim/pi/fv_builder.h"
#include "sim/pi/pe_image.h"

namespace fvpack {
namespace {
constexpr size_t kFileHeaderSize = 24;
constexpr size_t kTeHeaderSize = 40;
constexpr uint16_t kTeSignature = 0x5A56; // "VZ"
// Dependency expression opcodes.
constexpr uint8_t kDepexPush = 0x02;
constexpr uint8_t kDepexAnd = 0x03;
constexpr uint8_t kDepexTrue = 0x06;
constexpr uint8_t kDepexEnd = 0x08;

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

bool ExecutesEarly(uint8_t type) {
  return type == kFileSecurityCore || type == kFilePeiCore || type == kFilePeim ||
         type == kFileCombinedPeimDriver;
}

uint64_t Le64(const std::vector<uint8_t> &b, size_t at) {
  return ReadLe(&b[at], 4) | static_cast<uint64_t>(ReadLe(&b[at + 4], 4)) << 32;
}
} // namespace

std::optional<uint64_t> VolumeBaseFromImages(const Volume &volume, const std::string &where) {
  std::optional<uint64_t> base;
  std::string first;
  for (const FfsFile &f : volume.files) {
    if (!ExecutesEarly(f.type)) {
      continue;
    }
    for (const Section &s : f.sections) {
      const uint64_t data = f.offset + s.offset + s.header.size();
      uint64_t runAddress = 0;
      if (s.type == kSectionTe && s.body.size() >= kTeHeaderSize &&
          ReadLe(s.body.data(), 2) == kTeSignature) {
        // The TE header stands where the stripped PE headers ended, less its own size.
        runAddress = Le64(s.body, 16) + ReadLe(&s.body[6], 2) - kTeHeaderSize;
      } else if (s.type == kSectionPe32) {
        try {
          runAddress = sim::PeImage(s.body).ImageBase();
        } catch (const sim::PeImageError &) {
          continue;
        }
      } else {
        continue;
      }
      const uint64_t candidate = runAddress - data;
      const std::string name = sim::GuidText(f.name);
      if (base && *base != candidate) {
        throw FlashError(where + ": images disagree on where the volume executes: file " + first +
                         " says " + Hex(*base) + ", file " + name + " says " + Hex(candidate) +
                         " (give --base)");
      }
      if (!base) {
        base = candidate;
        first = name;
      }
    }
  }
  return base;
}

std::vector<uint8_t> DepexRequiring(const std::vector<EFI_GUID> &guids) {
  std::vector<uint8_t> d;
  if (guids.empty()) {
    d.push_back(kDepexTrue);
  }
  for (size_t i = 0; i < guids.size(); ++i) {
    d.push_back(kDepexPush);
    const auto *g = reinterpret_cast<const uint8_t *>(&guids[i]);
    d.insert(d.end(), g, g + sizeof(EFI_GUID));
    if (i > 0) {
      d.push_back(kDepexAnd);
    }
  }
  d.push_back(kDepexEnd);
  return d;
}

std::vector<uint8_t> ModuleFileData(const std::vector<uint8_t> &pe32, const std::string &source,
                                    uint8_t depexType, const std::vector<uint8_t> &depex,
                                    const std::string &uiName, std::optional<uint64_t> xipBase,
                                    size_t fileOffset) {
  std::vector<uint8_t> data;
  if (depexType != 0) {
    AppendSection(data, BuildSection(depexType, depex));
  }
  std::vector<uint8_t> image = pe32;
  if (xipBase) {
    try {
      sim::PeImage pe(pe32);
      if (!pe.ExecutesInPlace()) {
        throw FlashError(source + ": file offsets differ from section addresses, so the image "
                                  "cannot execute in place from the volume");
      }
      const size_t align = std::max<size_t>(pe.SectionAlignment(), 4);
      while (data.size() % 4 != 0) {
        data.push_back(0);
      }
      auto peData = [&] { return *xipBase + fileOffset + kFileHeaderSize + data.size() + 4; };
      if (peData() % align != 0) {
        const size_t pad = align - peData() % align; // a multiple of 4, the section header first
        AppendSection(data, BuildSection(kSectionRaw, std::vector<uint8_t>(pad - 4, 0)));
      }
      const uint64_t target = peData();
      if (target != pe.ImageBase()) {
        if (pe.RelocationSites().empty()) {
          throw FlashError(source + ": the image has no base relocations but must move from " +
                           Hex(pe.ImageBase()) + " to " + Hex(target));
        }
        pe.Rebase(target);
      }
      image = pe.Bytes();
    } catch (const sim::PeImageError &e) {
      throw FlashError(source + ": " + e.what());
    }
  }
  AppendSection(data, BuildSection(kSectionPe32, image));
  if (!uiName.empty()) {
    std::vector<uint8_t> name;
    for (char c : uiName) {
      name.push_back(static_cast<uint8_t>(c));
      name.push_back(0);
    }
    name.push_back(0);
    name.push_back(0);
    AppendSection(data, BuildSection(kSectionUserInterface, name));
  }
  return data;
}

} // namespace fvpack
