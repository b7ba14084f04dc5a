// fvpack: builds a firmware volume from a manifest.
//   fvpack MANIFEST.json -o OUT.fv
// The manifest: {"files": [{"guid": "...", "path": "logo.bmp", "type": "freeform"}, ...],
// "size": bytes}; paths are relative to the manifest, "type" (default freeform) and "size"
// (default: the smallest whole number of 4 KiB blocks) are optional.
// Exit codes: 0 written, 2 bad usage or a manifest that cannot be packed.
#include <cstdio>
#include <fstream>
#include <string>

#include "sim/pi/fv_builder.h"
#include "sim/pi/pe_image.h"

namespace {
int Usage() {
  std::fprintf(stderr, "usage: fvpack MANIFEST.json -o OUT.fv\n");
  return 2;
}
} // namespace

int main(int argc, char **argv) {
  std::string manifest, out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" && i + 1 < argc) {
      out = argv[++i];
    } else if (manifest.empty() && !arg.empty() && arg[0] != '-') {
      manifest = arg;
    } else {
      return Usage();
    }
  }
  if (manifest.empty() || out.empty()) {
    return Usage();
  }
  std::vector<uint8_t> volume;
  size_t files = 0;
  try {
    const sim::FvManifest m = sim::LoadFvManifest(manifest);
    files = m.files.size();
    volume = sim::BuildFirmwareVolume(m);
    // A module executing in place from flash cannot keep writable data there.
    for (const sim::FvFileSpec &f : m.files) {
      if (f.type != EFI_FV_FILETYPE_PEIM) {
        continue;
      }
      const sim::PeImage image(f.data);
      for (const sim::PeSection &s : image.Sections()) {
        if ((s.characteristics & sim::PeImage::kSectionWrite) != 0 && s.virtual_size != 0) {
          std::fprintf(stderr,
                       "fvpack: warning: %s: writable section %s (%u bytes) executes in place "
                       "from flash: stores to it are lost, and data without file bytes reads "
                       "whatever the flash holds there\n",
                       f.source.c_str(), s.name.c_str(), s.virtual_size);
        }
      }
    }
  } catch (const sim::FvBuildError &e) {
    std::fprintf(stderr, "fvpack: %s\n", e.what());
    return 2;
  }
  std::ofstream file(out, std::ios::binary);
  file.write(reinterpret_cast<const char *>(volume.data()),
             static_cast<std::streamsize>(volume.size()));
  if (!file) {
    std::fprintf(stderr, "fvpack: cannot write %s\n", out.c_str());
    return 2;
  }
  std::printf("%s: %zu files, %zu bytes\n", out.c_str(), files, volume.size());
  return 0;
}
