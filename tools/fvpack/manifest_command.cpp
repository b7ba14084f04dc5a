// fvpack MANIFEST.json: builds a firmware volume from a manifest.
//   fvpack MANIFEST.json -o OUT.fv
// The manifest: {"files": [{"guid": "...", "path": "logo.bmp", "type": "freeform"}, ...],
// "size": bytes}; paths are relative to the manifest, "type" (default freeform) and "size"
// (default: the smallest whole number of 4 KiB blocks) are optional; no other keys.
// Exit codes: 0 written, 2 bad usage or a manifest that cannot be packed, 3 the output could not
// be written.
#include <cstdio>
#include <string>

#include "sim/core/output_file.h"
#include "sim/pi/fv_builder.h"
#include "sim/pi/pe_image.h"
#include "tools/fvpack/commands.h"

namespace fvpack {
namespace {

const char kUsage[] =
    "usage: fvpack MANIFEST.json -o OUT.fv\n"
    "       fvpack list FLASH.fd\n"
    "       fvpack insert FLASH.fd --volume GUID --file X.efi --type peim|smm|driver --guid GUID "
    "... -o OUT.fd\n"
    "       (fvpack insert --help for the options of insert)\n"
    "Packs the files a manifest lists into one firmware volume (FFS2, 4 KiB blocks, erased 0xFF).\n"
    "  MANIFEST.json  {\"files\": [{\"guid\": \"...\", \"path\": \"logo.bmp\", \"type\": "
    "\"freeform\"}], \"size\": 0}\n"
    "                 at most 1 MiB; paths relative to it; type \"freeform\" (default), \"raw\" or "
    "1-255\n"
    "                 but not 240; size 0 (default: as small as the files allow) or a multiple of "
    "4096\n"
    "                 up to 16773120; at most 4096 files, together at most 16773120 bytes\n"
    "  -o OUT.fv      the volume to write\n"
    "  --help, -h     this text\n"
    "exit codes: 0 written; 2 bad usage or a manifest that cannot be packed; 3 OUT.fv could not be "
    "written\n";

int Usage(const std::string &error) {
  std::fprintf(stderr, "fvpack: %s\n%s", error.c_str(), kUsage);
  return kExitBadInput;
}
} // namespace

int RunManifest(int argc, char **argv) {
  std::string manifest, out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "-o") {
      if (i + 1 >= argc || !out.empty()) {
        return Usage(i + 1 >= argc ? "-o needs a file name" : "-o given twice");
      }
      out = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (manifest.empty()) {
      manifest = arg;
    } else {
      return Usage("one manifest only, got " + manifest + " and " + arg);
    }
  }
  if (manifest.empty() || out.empty()) {
    return Usage(manifest.empty() ? "no manifest given" : "no output given (-o OUT.fv)");
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
    return kExitBadInput;
  }
  std::string error;
  if (!sim::WriteOutputFile(out, volume, &error)) {
    std::fprintf(stderr, "fvpack: -o: %s\n", error.c_str());
    return kExitOutputFailed;
  }
  std::printf("%s: %zu files, %zu bytes\n", out.c_str(), files, volume.size());
  return 0;
}

} // namespace fvpack
