// fvpack insert FLASH.fd ...: adds module files to volumes of an existing flash image, as a
// firmware engineer does to try a module in a finished firmware. Existing files keep their
// offsets (a pad file shrinks or splits around a new one), a-priori lists gain the new names
// where asked, compressed sections are re-encoded, every checksum is recomputed, and the result
// is parsed again before it is written.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "sim/core/input_file.h"
#include "sim/core/output_file.h"
#include "sim/pi/fv_builder.h"
#include "sim/pi/pe_image.h"
#include "tools/fvpack/commands.h"
#include "tools/fvpack/flash_image.h"
#include "tools/fvpack/pe_placement.h"

namespace fvpack {
namespace {
constexpr EFI_GUID kPeiAprioriGuid = {
    0x1B45CC0A, 0x156A, 0x428A, {0xAF, 0x62, 0x49, 0x86, 0x4D, 0xA0, 0xE6, 0xE6}};
constexpr EFI_GUID kDxeAprioriGuid = {
    0xFC510EE7, 0xFFDC, 0x11D4, {0xBD, 0x41, 0x00, 0x80, 0xC7, 0x3C, 0x88, 0x81}};
constexpr size_t kMinPadFile = 24;

const char kInsertUsage[] =
    "usage: fvpack insert FLASH.fd [--volume GUID] --file X.efi --type peim|smm|driver --guid "
    "GUID\n"
    "                     [--name TEXT] [--depex GUID]... [--apriori first|after:GUID]\n"
    "                     [--base ADDRESS] [--file ...]... -o OUT.fd\n"
    "Adds each --file to a volume of FLASH.fd and writes OUT.fd. Options after a --file apply to\n"
    "it; --volume applies to the files after it, --base to the file it follows and those after.\n"
    "  --volume GUID   the volume: its name, or the name of a file it holds\n"
    "  --type          peim (PEI dependency section), smm (SMM dependency section) or driver\n"
    "                  (DXE dependency section)\n"
    "  --guid GUID     the new file's name\n"
    "  --name TEXT     a name section\n"
    "  --depex GUID    the module needs this interface installed (repeat for several); none: TRUE\n"
    "  --apriori       dispatch first, or right after GUID, through the volume's a-priori file\n"
    "  --base ADDRESS  where the volume executes; default: from the images already rebased in it.\n"
    "                  A peim is rebased to where its PE32 data lands there.\n"
    "exit codes: 0 written; 2 bad usage or an image that cannot take the files (nothing written);\n"
    "3 OUT.fd could not be written\n";

struct InsertSpec {
  std::string file;
  std::string type;
  EFI_GUID guid{};
  bool have_guid = false;
  std::string name;
  std::vector<EFI_GUID> depex;
  std::string apriori;
  EFI_GUID volume{};
  bool have_volume = false;
  std::optional<uint64_t> base;
};

class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

EFI_GUID GuidArg(const std::string &option, const std::string &text) {
  EFI_GUID g;
  if (!sim::ParseGuid(text, &g)) {
    throw UsageError(option + ": " + text + " is not a GUID (8-4-4-4-12 hex digits)");
  }
  return g;
}

bool SameGuid(const EFI_GUID &a, const EFI_GUID &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

size_t Align8(size_t v) { return (v + 7) & ~size_t{7}; }

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

VolumePath FindVolume(FlashImage &image, const EFI_GUID &wanted) {
  std::vector<VolumePath> matches;
  for (const VolumePath &p : AllVolumes(image)) {
    bool match = p.volume->name && SameGuid(*p.volume->name, wanted);
    for (const FfsFile &f : p.volume->files) {
      match = match || SameGuid(f.name, wanted);
    }
    if (match) {
      matches.push_back(p);
    }
  }
  if (matches.empty()) {
    throw FlashError(image.source + ": no volume is named " + sim::GuidText(wanted) +
                     " or holds a file of that name");
  }
  if (matches.size() > 1) {
    throw FlashError(image.source + ": " + std::to_string(matches.size()) + " volumes match " +
                     sim::GuidText(wanted) + "; name the volume itself");
  }
  return matches.front();
}

// Places `file` in the first space between the volume's files (or after them) that holds it
// and leaves either nothing or room for a pad file behind it.
void PlaceFile(Volume &v, FfsFile file, const std::string &where) {
  std::sort(v.files.begin(), v.files.end(),
            [](const FfsFile &a, const FfsFile &b) { return a.offset < b.offset; });
  size_t start = v.first_file;
  for (size_t i = 0; i <= v.files.size(); ++i) {
    const size_t end = i < v.files.size() ? v.files[i].offset : v.length;
    if (start < end) {
      const size_t size = file.build(start).size();
      const size_t used = Align8(start + size);
      const bool last = i == v.files.size();
      if (start + size <= end && (last || used == end || end - used >= kMinPadFile)) {
        file.offset = start;
        v.files.insert(v.files.begin() + static_cast<long>(i), std::move(file));
        return;
      }
    }
    if (i < v.files.size()) {
      const FfsFile &f = v.files[i];
      start = Align8(f.offset + (f.build ? f.build(f.offset).size() : f.bytes.size()));
    }
  }
  throw FlashError(where + ": no room for file " + sim::GuidText(file.name) + " (" +
                   Hex(file.build(v.first_file).size()) + " bytes) in the volume of " +
                   Hex(v.length) + " bytes");
}

std::vector<EFI_GUID> AprioriList(const Volume &v, const EFI_GUID &name) {
  std::vector<EFI_GUID> list;
  for (const FfsFile &f : v.files) {
    if (!SameGuid(f.name, name)) {
      continue;
    }
    for (const Section &s : f.sections) {
      if (s.type == kSectionRaw) {
        for (size_t i = 0; i + 16 <= s.body.size(); i += 16) {
          EFI_GUID g;
          std::memcpy(&g, &s.body[i], 16);
          list.push_back(g);
        }
      }
    }
  }
  return list;
}

std::vector<InsertSpec> ParseArguments(int argc, char **argv, std::string *flash,
                                       std::string *out) {
  std::vector<InsertSpec> specs;
  EFI_GUID volume{};
  bool haveVolume = false;
  std::optional<uint64_t> base;
  auto current = [&](const std::string &option) -> InsertSpec & {
    if (specs.empty()) {
      throw UsageError(option + " comes before any --file");
    }
    return specs.back();
  };
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        throw UsageError(arg + " needs a value");
      }
      return argv[++i];
    };
    if (arg == "--volume") {
      volume = GuidArg(arg, value());
      haveVolume = true;
    } else if (arg == "--base") {
      const std::string text = value();
      char *end = nullptr;
      const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
      if (text.empty() || *end != '\0') {
        throw UsageError("--base: " + text + " is not an address");
      }
      base = v;
      if (!specs.empty()) {
        specs.back().base = base;
      }
    } else if (arg == "--file") {
      specs.push_back({});
      specs.back().file = value();
      specs.back().volume = volume;
      specs.back().have_volume = haveVolume;
      specs.back().base = base;
    } else if (arg == "--type") {
      const std::string t = value();
      if (t != "peim" && t != "smm" && t != "driver") {
        throw UsageError("--type: " + t + " is not peim, smm or driver");
      }
      current(arg).type = t;
    } else if (arg == "--guid") {
      current(arg).guid = GuidArg(arg, value());
      current(arg).have_guid = true;
    } else if (arg == "--name") {
      current(arg).name = value();
    } else if (arg == "--depex") {
      current(arg).depex.push_back(GuidArg(arg, value()));
    } else if (arg == "--apriori") {
      const std::string a = value();
      if (a != "first" && a.rfind("after:", 0) != 0) {
        throw UsageError("--apriori: " + a + " is not first or after:GUID");
      }
      if (a != "first") {
        GuidArg(arg, a.substr(6));
      }
      current(arg).apriori = a;
    } else if (arg == "-o") {
      *out = value();
    } else if (!arg.empty() && arg[0] == '-') {
      throw UsageError("unknown option " + arg);
    } else if (flash->empty()) {
      *flash = arg;
    } else {
      throw UsageError("one flash image only, got " + *flash + " and " + arg);
    }
  }
  if (flash->empty() || out->empty() || specs.empty()) {
    throw UsageError(flash->empty() ? "no flash image given"
                     : out->empty() ? "no output given (-o OUT.fd)"
                                    : "no --file given");
  }
  for (const InsertSpec &s : specs) {
    if (s.type.empty() || !s.have_guid || !s.have_volume) {
      throw UsageError(s.file + ": needs " +
                       (s.type.empty() ? "--type"
                        : !s.have_guid ? "--guid"
                                       : "--volume"));
    }
    if (s.type == "smm" && !s.apriori.empty()) {
      throw UsageError(s.file + ": SMM drivers have no a-priori file");
    }
  }
  return specs;
}

void Insert(FlashImage &image, const InsertSpec &spec,
            std::map<Volume *, std::vector<EFI_GUID>> &apriori) {
  VolumePath path = FindVolume(image, spec.volume);
  Volume &v = *path.volume;
  const std::string where = image.source + ", volume " + Hex(v.offset);
  for (const FfsFile &f : v.files) {
    if (SameGuid(f.name, spec.guid)) {
      throw FlashError(where + ": already holds a file named " + sim::GuidText(spec.guid));
    }
  }
  sim::InputFile in = sim::ReadInputFile(spec.file, sim::kFlashImageLimit);
  if (!in.ok()) {
    throw FlashError(in.problem);
  }
  try {
    sim::PeImage check(in.bytes);
  } catch (const sim::PeImageError &e) {
    throw FlashError(spec.file + ": " + e.what());
  }
  std::optional<uint64_t> xipBase;
  uint8_t fileType = kFileDriver, depexType = kSectionDxeDepex;
  if (spec.type == "peim") {
    fileType = kFilePeim;
    depexType = kSectionPeiDepex;
    xipBase = spec.base ? spec.base : VolumeBaseFromImages(v, where);
    if (!xipBase) {
      throw FlashError(where + ": holds no rebased image to tell where it executes; give --base");
    }
  } else if (spec.type == "smm") {
    fileType = kFileSmm;
    depexType = kSectionSmmDepex;
  }
  const std::vector<uint8_t> depex = DepexRequiring(spec.depex);
  const bool erase = v.erase_polarity, large = v.ffs3;
  FfsFile file;
  file.name = spec.guid;
  file.type = fileType;
  auto pe = std::make_shared<std::vector<uint8_t>>(std::move(in.bytes));
  file.build = [=](size_t offset) {
    return BuildFfsFile(
        spec.guid, fileType, 0,
        ModuleFileData(*pe, spec.file, depexType, depex, spec.name, xipBase, offset), erase, large);
  };
  file.build(v.first_file); // reports an image that cannot be placed before anything changes
  // Pad files are laid out again around the files that stay.
  v.files.erase(std::remove_if(v.files.begin(), v.files.end(),
                               [](const FfsFile &f) { return f.type == kFilePad; }),
                v.files.end());
  PlaceFile(v, std::move(file), where);
  for (bool *flag : path.dirty_flags) {
    *flag = true;
  }
  if (!spec.apriori.empty()) {
    const EFI_GUID &listName = spec.type == "peim" ? kPeiAprioriGuid : kDxeAprioriGuid;
    auto found = apriori.find(&v);
    std::vector<EFI_GUID> list = found != apriori.end() ? found->second : AprioriList(v, listName);
    if (spec.apriori == "first") {
      list.insert(list.begin(), spec.guid);
    } else {
      const EFI_GUID after = GuidArg("--apriori", spec.apriori.substr(6));
      auto it = std::find_if(list.begin(), list.end(),
                             [&](const EFI_GUID &g) { return SameGuid(g, after); });
      if (it == list.end()) {
        throw FlashError(where + ": the a-priori file does not list " + sim::GuidText(after));
      }
      list.insert(it + 1, spec.guid);
    }
    apriori[&v] = list;
  }
}

// Replaces the a-priori file of `v` by one listing `list`: the old one's space becomes a pad.
void WriteApriori(Volume &v, const std::vector<EFI_GUID> &list, const EFI_GUID &name,
                  const std::string &where) {
  v.files.erase(std::remove_if(v.files.begin(), v.files.end(),
                               [&](const FfsFile &f) { return SameGuid(f.name, name); }),
                v.files.end());
  std::vector<uint8_t> raw;
  for (const EFI_GUID &g : list) {
    const auto *b = reinterpret_cast<const uint8_t *>(&g);
    raw.insert(raw.end(), b, b + 16);
  }
  FfsFile file;
  file.name = name;
  file.type = kFileFreeform;
  const bool erase = v.erase_polarity, large = v.ffs3;
  file.build = [=](size_t) {
    std::vector<uint8_t> data;
    AppendSection(data, BuildSection(kSectionRaw, raw));
    return BuildFfsFile(name, kFileFreeform, 0, data, erase, large);
  };
  PlaceFile(v, std::move(file), where);
}
} // namespace

int RunInsert(int argc, char **argv) {
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kInsertUsage, stdout);
      return 0;
    }
  }
  std::string flash, out;
  std::vector<InsertSpec> specs;
  try {
    specs = ParseArguments(argc, argv, &flash, &out);
  } catch (const UsageError &e) {
    std::fprintf(stderr, "fvpack: insert: %s\n%s", e.what(), kInsertUsage);
    return kExitBadInput;
  }
  std::vector<uint8_t> result;
  try {
    sim::InputFile in = sim::ReadInputFile(flash, sim::kFlashImageLimit);
    if (!in.ok()) {
      throw FlashError(in.problem);
    }
    FlashImage image = ParseFlash(std::move(in.bytes), flash);
    std::map<Volume *, std::vector<EFI_GUID>> apriori;
    std::map<Volume *, EFI_GUID> aprioriName;
    for (const InsertSpec &spec : specs) {
      Insert(image, spec, apriori);
      if (!spec.apriori.empty()) {
        aprioriName[FindVolume(image, spec.guid).volume] =
            spec.type == "peim" ? kPeiAprioriGuid : kDxeAprioriGuid;
      }
    }
    for (auto &[volume, list] : apriori) {
      WriteApriori(*volume, list, aprioriName[volume], flash + ", volume " + Hex(volume->offset));
    }
    result = SerializeFlash(image);
    // The written image must read back with every new file in place.
    FlashImage check = ParseFlash(result, out + " (as written)");
    for (const InsertSpec &spec : specs) {
      FindVolume(check, spec.guid);
    }
  } catch (const FlashError &e) {
    std::fprintf(stderr, "fvpack: %s\n", e.what());
    return kExitBadInput;
  }
  std::string error;
  if (!sim::WriteOutputFile(out, result, &error)) {
    std::fprintf(stderr, "fvpack: -o: %s\n", error.c_str());
    return kExitOutputFailed;
  }
  std::printf("%s: %zu files inserted, %zu bytes\n", out.c_str(), specs.size(), result.size());
  return 0;
}

} // namespace fvpack
