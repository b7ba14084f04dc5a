// bootsim check-images: what the boot screen will do with each image, and what a designer needs
// to know before shipping it.
//   bootsim check-images                      the default artwork (assets/manifest.json)
//   bootsim check-images --manifest M.json    a volume manifest; files known by GUID are placed
//                                             where the boot screen draws them
//   bootsim check-images [--high|--low] [--at BOTTOM,LEFT] FILE.bmp ...
//                                             loose files (default: centred, palette from 230)
// Exit codes: 0 every image passes (warnings allowed), 1 an image is refused, 2 bad usage.
#include "tools/bootsim/check_images_command.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "sim/pei/flash_scenario.h"
#include "sim/pi/fv_builder.h"
#include "sim/screen/bmp_inspect.h"
#include "sim/screen/image_roles.h"

namespace {

struct Subject {
  std::string name;
  std::string file;
  std::vector<uint8_t> bytes;
  uint32_t high_palette;
  std::vector<sim::ImagePosition> positions;
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

bool ReadFile(const std::string &path, std::vector<uint8_t> *bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int CheckManifest(const std::filesystem::path &path) {
  sim::FvManifest manifest;
  try {
    manifest = sim::LoadFvManifest(path);
    sim::BuildFirmwareVolume(manifest);
  } catch (const sim::FvBuildError &e) {
    std::fprintf(stderr, "bootsim: %s\n", e.what());
    return 2;
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
  return ok ? 0 : 1;
}

} // namespace

int RunCheckImagesCommand(const BootsimOptions &options) {
  const std::vector<std::string> &args = options.args;
  if (args.empty()) {
    return CheckManifest(sim::AssetsDir() / "manifest.json");
  }
  if (args[0] == "--manifest") {
    if (args.size() != 2) {
      std::fprintf(stderr, "usage: bootsim check-images --manifest M.json\n");
      return 2;
    }
    return CheckManifest(args[1]);
  }
  uint32_t highPalette = 1;
  sim::ImagePosition at{0, 0, "centred"};
  bool ok = true;
  size_t files = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--high" || args[i] == "--low") {
      highPalette = args[i] == "--high" ? 1 : 0;
    } else if (args[i] == "--at" && i + 1 < args.size()) {
      unsigned bottom = 0, left = 0;
      if (std::sscanf(args[++i].c_str(), "%u,%u", &bottom, &left) != 2) {
        std::fprintf(stderr, "bootsim: --at takes BOTTOM,LEFT margins\n");
        return 2;
      }
      at = {bottom, left,
            "bottom margin " + std::to_string(bottom) + ", left margin " + std::to_string(left)};
    } else {
      std::vector<uint8_t> bytes;
      if (!ReadFile(args[i], &bytes)) {
        std::fprintf(stderr, "bootsim: cannot read %s\n", args[i].c_str());
        return 2;
      }
      ok = Report({args[i], args[i], bytes, highPalette, {at}}) && ok;
      ++files;
    }
  }
  if (files == 0) {
    std::fprintf(stderr, "usage: bootsim check-images [--high|--low] [--at B,L] FILE.bmp ...\n");
    return 2;
  }
  return ok ? 0 : 1;
}
