// bootsim check-images: what the boot screen will do with each image, and what a designer needs
// to know before shipping it.
//   bootsim check-images                      the default artwork (assets/manifest.json)
//   bootsim check-images --manifest M.json    a volume manifest; files known by GUID are placed
//                                             where the boot screen draws them
//   bootsim check-images [--role R] [--high|--low] [--at BOTTOM,LEFT] FILE.bmp ...
//                                             files checked in their role: from --role, else from
//                                             their name in the board's manifest; files with no
//                                             role are placed centred with palette from 230
// Exit codes: 0 every image passes (warnings allowed), 1 an image is refused, 2 bad usage or a
// file that cannot be read.
#include "tools/bootsim/check_images_command.h"

#include <cstdio>
#include <map>
#include <optional>

#include "sim/binding/image_roles.h"
#include "sim/core/input_file.h"
#include "sim/pei/flash_scenario.h"
#include "sim/pi/fv_builder.h"
#include "sim/screen/bmp_inspect.h"
#include "tools/bootsim/options.h"

namespace {

struct Subject {
  std::string name;
  std::string file;
  std::vector<uint8_t> bytes;
  uint32_t high_palette;
  std::vector<sim::ImagePosition> positions;
};

// A file named on the command line with the settings in effect where it was named.
struct LooseFile {
  std::string path;
  std::string role; // from --role: a role name, or "none"; empty: by the file's name
  uint32_t high_palette;
  sim::ImagePosition at;
};

struct CheckState {
  std::optional<std::string> manifest;
  std::string role;
  uint32_t high_palette = 1;
  sim::ImagePosition at{0, 0, "centred"};
  std::vector<LooseFile> files;
};

// Prints one image at each position; returns false when it is refused anywhere.
bool Report(const Subject &s) {
  bool ok = true;
  for (const sim::ImagePosition &at : s.positions) {
    const sim::BmpPlacement p =
        sim::PlaceBmp(s.bytes, at.bottom_margin, at.left_margin, s.high_palette);
    std::printf("%s (%s) at %s:\n", s.name.c_str(), s.file.c_str(), at.where.c_str());
    if (p.headers_read) {
      std::printf("  %u x %u, %u bits per pixel, biClrUsed %u, biSizeImage %u\n", p.width, p.height,
                  p.bit_depth, p.clr_used, p.size_image);
    }
    if (p.status == EFI_SUCCESS) {
      if (p.height > 0) {
        std::printf("  lands at columns %u-%u, rows %u-%u\n", p.left,
                    p.left + (p.width ? p.width - 1 : 0), p.top_row, p.bottom_row);
      }
      if (p.palette_count > 0) {
        std::printf("  loads palette entries %u-%u%s\n", p.palette_base,
                    (p.palette_base + p.palette_count - 1) % 256,
                    p.palette_base + p.palette_count > 256 ? " (wrapping past 255)" : "");
      } else {
        std::printf("  loads no palette entries\n");
      }
    }
    for (const std::string &w : p.warnings) {
      std::printf("  warning: %s\n", w.c_str());
    }
    for (const std::string &r : p.refusals) {
      std::printf("  REFUSED: %s\n", r.c_str());
    }
    ok = ok && p.refusals.empty();
  }
  return ok;
}

int CheckManifest(const std::filesystem::path &path) {
  sim::FvManifest manifest;
  try {
    manifest = sim::LoadFvManifest(path);
    sim::BuildFirmwareVolume(manifest);
  } catch (const sim::FvBuildError &e) {
    std::fprintf(stderr, "bootsim: %s\n", e.what());
    return kExitBadInput;
  }
  bool ok = true;
  for (const sim::FvFileSpec &f : manifest.files) {
    const sim::ImageRole *role = sim::FindImageRole(f.name);
    if (role == nullptr) {
      std::printf("%s (%s): not drawn by the boot screen\n", sim::GuidText(f.name).c_str(),
                  f.source.c_str());
      continue;
    }
    ok = Report({role->name, f.source, f.data, role->high_palette, role->positions}) && ok;
  }
  for (const sim::ImageRole &role : sim::BootScreenImageRoles()) {
    bool present = false;
    for (const sim::FvFileSpec &f : manifest.files) {
      present = present || GuidEquals(&f.name, &role.guid);
    }
    if (!present) {
      std::printf("warning: no %s (%s) in the volume; the boot screen draws nothing there\n",
                  role.name.c_str(), sim::GuidText(role.guid).c_str());
    }
  }
  std::printf("%s\n", ok ? "all images pass" : "some images are refused");
  return ok ? kExitDone : kExitRunFailed;
}

// File names of the board's manifest (assets/manifest.json) and stems ("banner_a") to roles.
struct BoardNames {
  std::map<std::string, const sim::ImageRole *> by_file, by_stem;
};

BoardNames ReadBoardNames() {
  BoardNames names;
  const sim::FvManifest board = sim::LoadFvManifest(sim::AssetsDir() / "manifest.json");
  for (const sim::FvFileSpec &f : board.files) {
    if (const sim::ImageRole *role = sim::FindImageRole(f.name)) {
      const std::filesystem::path p(f.source);
      names.by_file[p.filename().string()] = role;
      names.by_stem[p.stem().string()] = role;
    }
  }
  return names;
}

std::string RoleList(const BoardNames &names) {
  std::string list;
  for (const auto &[stem, role] : names.by_stem) {
    list += (list.empty() ? "" : ", ") + stem;
  }
  return list + ", none";
}

std::string ParseMargins(CheckState &s, const std::string &v) {
  const size_t comma = v.find(',');
  unsigned long long m[2];
  const std::string parts[2] = {v.substr(0, comma),
                                comma == std::string::npos ? "" : v.substr(comma + 1)};
  for (int i = 0; i < 2; ++i) {
    if (parts[i].empty() || parts[i].size() > 10 ||
        parts[i].find_first_not_of("0123456789") != std::string::npos) {
      return "takes BOTTOM,LEFT margins, each from 0 to 4294967295 (0 centres), got " + v;
    }
    m[i] = std::stoull(parts[i]);
    if (m[i] > UINT32_MAX) {
      return "takes BOTTOM,LEFT margins, each from 0 to 4294967295 (0 centres), got " + v;
    }
  }
  s.at = {static_cast<uint32_t>(m[0]), static_cast<uint32_t>(m[1]),
          "bottom margin " + std::to_string(m[0]) + ", left margin " + std::to_string(m[1])};
  return {};
}

const std::vector<CommandOption<CheckState>> &CheckImagesOptions() {
  static const std::vector<CommandOption<CheckState>> table = {
      {"--manifest", "M.json", 0,
       "check the images of a volume manifest where the boot screen draws them, by file GUID",
       [](CheckState &s, const std::string &v) {
         s.manifest = v;
         return std::string();
       }},
      {"--role", "ROLE", 0,
       "check the files after it as this image (logo, banner_a, banner_b, footer, label_lan1, "
       "label_lan8, label_no_transport, glyph_dot, glyph_slash, glyph_0 to glyph_9, or a name "
       "such as \"banner A\"); none: as loose files",
       [](CheckState &s, const std::string &v) {
         s.role = v;
         return std::string();
       }},
      {"--high", nullptr, 0, "files after it with no role load their palette from entry 230",
       [](CheckState &s, const std::string &) {
         s.high_palette = 1;
         return std::string();
       }},
      {"--low", nullptr, 0, "files after it with no role load their palette from entry 0",
       [](CheckState &s, const std::string &) {
         s.high_palette = 0;
         return std::string();
       }},
      {"--at", "BOTTOM,LEFT", 0, "files after it with no role are placed at these margins",
       ParseMargins},
  };
  return table;
}

std::string CheckImagesUsage() {
  return "usage: bootsim check-images                      the board's artwork "
         "(assets/manifest.json)\n"
         "       bootsim check-images --manifest M.json    the images of a volume manifest\n"
         "       bootsim check-images [OPTIONS] FILE.bmp ...\n"
         "A file's role (where the boot screen draws it, which palette entries it loads) comes "
         "from --role,\nelse from its file name in assets/manifest.json; a file with neither is "
         "placed centred with its\npalette from entry 230 unless --low or --at say otherwise. "
         "BMP files are at most 16 MiB.\noptions:\n" +
         OptionHelp(CheckImagesOptions()) +
         "  --help, -h          this text\n"
         "exit codes: 0 every image passes (warnings allowed); 1 an image is refused; 2 bad usage "
         "or a\n  file that cannot be read\n";
}

// Reads every named file and works out its role; prints why and returns false when one cannot
// be used.
bool Resolve(const std::vector<LooseFile> &files, std::vector<Subject> *subjects) {
  BoardNames names;
  try {
    names = ReadBoardNames();
  } catch (const sim::FvBuildError &e) {
    std::fprintf(stderr, "bootsim: the board's manifest: %s\n", e.what());
    return false;
  }
  for (const LooseFile &f : files) {
    const sim::ImageRole *role = nullptr;
    std::string source;
    if (!f.role.empty() && f.role != "none") {
      role = sim::FindImageRoleByName(f.role);
      if (role == nullptr && names.by_stem.count(f.role)) {
        role = names.by_stem.at(f.role);
      }
      if (role == nullptr) {
        std::fprintf(stderr, "bootsim: --role %s: not a boot-screen image; roles: %s\n",
                     f.role.c_str(), RoleList(names).c_str());
        return false;
      }
      source = "--role";
    } else if (f.role.empty()) {
      const std::string name = std::filesystem::path(f.path).filename().string();
      if (names.by_file.count(name)) {
        role = names.by_file.at(name);
        source = "its name in assets/manifest.json";
      }
    }
    sim::InputFile in = sim::ReadInputFile(f.path, sim::kFlashImageLimit);
    if (!in.ok()) {
      std::fprintf(stderr, "bootsim: %s %s (a BMP file is a regular file of at most %s)\n",
                   f.path.c_str(), in.problem.c_str(),
                   sim::ByteCountText(sim::kFlashImageLimit).c_str());
      return false;
    }
    if (role != nullptr) {
      subjects->push_back({role->name, f.path + ", role from " + source, std::move(in.bytes),
                           role->high_palette, role->positions});
    } else {
      subjects->push_back(
          {f.path,
           std::string("no role: palette from entry ") + (f.high_palette ? "230" : "0"),
           std::move(in.bytes),
           f.high_palette,
           {f.at}});
    }
  }
  return true;
}

} // namespace

int RunCheckImagesCommand(const std::vector<std::string> &args) {
  CheckState state;
  std::string error;
  std::vector<const CommandOption<CheckState> *> given;
  const ParseOutcome outcome = ParseCommandLine(
      CheckImagesOptions(), args, state,
      [](CheckState &s, const std::string &file) {
        s.files.push_back({file, s.role, s.high_palette, s.at});
        return std::string();
      },
      &error, &given);
  if (outcome == ParseOutcome::kHelp) {
    std::fputs(CheckImagesUsage().c_str(), stdout);
    return kExitDone;
  }
  if (outcome == ParseOutcome::kRun && state.manifest && given.size() + state.files.size() != 1) {
    error = "--manifest takes no other options or files";
  }
  if (!error.empty()) {
    std::fprintf(stderr, "bootsim check-images: %s\n%s", error.c_str(), CheckImagesUsage().c_str());
    return kExitBadInput;
  }
  if (state.manifest) {
    return CheckManifest(*state.manifest);
  }
  if (state.files.empty()) {
    if (!given.empty()) {
      std::fprintf(stderr, "bootsim check-images: options but no files\n%s",
                   CheckImagesUsage().c_str());
      return kExitBadInput;
    }
    return CheckManifest(sim::AssetsDir() / "manifest.json");
  }
  std::vector<Subject> subjects;
  if (!Resolve(state.files, &subjects)) {
    return kExitBadInput;
  }
  bool ok = true;
  for (const Subject &s : subjects) {
    ok = Report(s) && ok;
  }
  std::printf("%s\n", ok ? "all images pass" : "some images are refused");
  return ok ? kExitDone : kExitRunFailed;
}
