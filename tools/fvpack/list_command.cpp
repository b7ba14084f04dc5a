// fvpack list FLASH.fd: the tree of volumes, files and sections of a flash image, descending
// into LZMA-compressed and volume-image sections.
#include <cstdio>
#include <string>

#include "sim/core/input_file.h"
#include "sim/pi/fv_builder.h"
#include "tools/fvpack/commands.h"
#include "tools/fvpack/flash_image.h"

namespace fvpack {
namespace {
std::string UiName(const std::vector<Section> &sections) {
  for (const Section &s : sections) {
    if (s.type == kSectionUserInterface) {
      std::string name;
      for (size_t i = 0; i + 1 < s.body.size(); i += 2) {
        const uint16_t c = static_cast<uint16_t>(s.body[i] | s.body[i + 1] << 8);
        if (c == 0) {
          break;
        }
        name += c < 0x80 ? static_cast<char>(c) : '?';
      }
      return name;
    }
  }
  return "";
}

void PrintVolume(const Volume &v, int depth);

// The processor an image section is built for, as the PE32 or TE header gives it.
std::string ImageMachine(const Section &s) {
  const std::vector<uint8_t> &b = s.body;
  uint32_t machine = 0;
  if (s.type == kSectionTe && b.size() >= 4) {
    machine = ReadLe(&b[2], 2);
  } else if (s.type == kSectionPe32 && b.size() >= 0x40) {
    const size_t pe = ReadLe(&b[0x3C], 4);
    if (pe + 6 <= b.size()) {
      machine = ReadLe(&b[pe + 4], 2);
    }
  }
  switch (machine) {
  case 0:
    return "";
  case 0x14C:
    return "ia32";
  case 0x8664:
    return "x64";
  default:
    return "machine-" + std::to_string(machine);
  }
}

void PrintSections(const std::vector<Section> &sections, int depth) {
  for (const Section &s : sections) {
    std::printf("%*ssection %-12s offset 0x%06zX size 0x%zX", depth * 2, "",
                SectionTypeName(s.type).c_str(), s.offset, s.header.size() + s.body.size());
    if (s.type == kSectionGuidDefined) {
      std::printf(" %s%s", sim::GuidText(s.guid).c_str(), s.lzma ? " lzma" : "");
    }
    if (s.lzma) {
      std::printf(" decompressed 0x%zX", s.decoded_size);
    }
    const std::string machine = ImageMachine(s);
    if (!machine.empty()) {
      std::printf(" %s", machine.c_str());
    }
    std::printf("\n");
    if (s.volume) {
      PrintVolume(*s.volume, depth + 1);
    }
    PrintSections(s.children, depth + 1);
  }
}

void PrintVolume(const Volume &v, int depth) {
  std::printf("%*svolume offset 0x%zX size 0x%llX %s name %s\n", depth * 2, "", v.offset,
              static_cast<unsigned long long>(v.length), v.ffs3 ? "FFS3" : "FFS2",
              v.name ? sim::GuidText(*v.name).c_str() : "-");
  for (const FfsFile &f : v.files) {
    const std::string ui = UiName(f.sections);
    std::printf("%*sfile %s %-14s offset 0x%06zX size 0x%zX%s%s\n", depth * 2 + 2, "",
                sim::GuidText(f.name).c_str(), FileTypeName(f.type).c_str(), f.offset,
                f.bytes.size(), ui.empty() ? "" : " ", ui.c_str());
    PrintSections(f.sections, depth + 2);
  }
}
} // namespace

int RunList(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fvpack list FLASH.fd\n");
    return kExitBadInput;
  }
  try {
    sim::InputFile in = sim::ReadInputFile(argv[2], sim::kFlashImageLimit);
    if (!in.ok()) {
      throw FlashError(in.problem);
    }
    const FlashImage image = ParseFlash(std::move(in.bytes), argv[2]);
    for (const Volume &v : image.volumes) {
      PrintVolume(v, 0);
    }
  } catch (const FlashError &e) {
    std::fprintf(stderr, "fvpack: %s\n", e.what());
    return kExitBadInput;
  }
  return 0;
}

} // namespace fvpack
