#include "sim/pei/flash_scenario.h"

#include <cstdio>

#include "sim/core/hex_text.h"
#include "sim/core/input_file.h"
#include "sim/pi/ffs_walk.h"
#include "sim/pi/fv_builder.h"

namespace sim {

using nlohmann::json;

std::filesystem::path AssetsDir() { return BOOTSIM_ASSETS_DIR; }

namespace {
// The boot screen looks for volumes at 64 KiB steps of the flash.
constexpr uint64_t kVolumeScanStep = 0x10000;

std::vector<uint8_t> ReadVolumeFile(const FlashVolumeSpec &v, const std::string &source) {
  InputFile in = ReadInputFile(v.path, FlashDevice::kSize);
  if (!in.ok()) {
    throw ScenarioError(source, v.key + ".file",
                        "a regular volume file of at most " + ByteCountText(FlashDevice::kSize) +
                            ", but " + v.path.string() + " " + in.problem);
  }
  return std::move(in.bytes);
}

std::vector<uint8_t> Pack(const std::filesystem::path &manifest, const std::string &source,
                          const std::string &key) {
  try {
    return PackManifest(manifest);
  } catch (const FvBuildError &e) {
    throw ScenarioError(source, key, std::string("a manifest that packs: ") + e.what());
  }
}

void Place(FlashDevice &flash, uint64_t base, const std::vector<uint8_t> &bytes,
           const std::string &name, const std::string &source, const std::string &key) {
  try {
    flash.Load(base, bytes, name);
  } catch (const std::invalid_argument &e) {
    throw ScenarioError(source, key, std::string("a volume that fits the free flash: ") + e.what());
  }
}

} // namespace

std::string VolumeProblem(const std::vector<uint8_t> &bytes) {
  const FlashView view{[&](uint64_t address, unsigned width) {
                         uint64_t v = 0;
                         for (unsigned i = 0; i < width; ++i) {
                           v |= static_cast<uint64_t>(bytes[address + i]) << (8 * i);
                         }
                         return v;
                       },
                       0, bytes.size()};
  FfsVolumeInfo volume;
  switch (OpenVolume(view, 0, &volume)) {
  case EFI_SUCCESS:
    break;
  case EFI_NOT_FOUND:
    return "it does not start with a firmware volume header (no \"_FVH\" signature at offset 40)";
  case EFI_UNSUPPORTED:
    return "its volume header names a file system other than FFS2 or FFS3";
  default:
    return "its volume header is corrupted (length, header length, checksum or extension header)";
  }
  uint64_t handle = 0;
  size_t files = 0;
  for (;;) {
    const EFI_STATUS s = FindNextFile(view, EFI_FV_FILETYPE_ALL, 0, &handle);
    if (s == EFI_NOT_FOUND) {
      return {};
    }
    if (s != EFI_SUCCESS) {
      return "its file list is corrupted after " + std::to_string(files) + " files";
    }
    ++files;
  }
}

std::vector<FlashVolumeSpec> ParseFlashVolumes(const Scenario &s) {
  if (!s.raw.contains("flash")) {
    return {{kDefaultAssetsVolumeBase, AssetsDir() / "manifest.json", true, "(default flash)"}};
  }
  const json &f = s.raw["flash"];
  RequireKnownKeys(f, s.source, "flash", {"volumes"});
  if (!f.contains("volumes") || !f["volumes"].is_array() ||
      f["volumes"].size() > kMaxFlashVolumes) {
    throw ScenarioError(s.source, "flash.volumes",
                        "a list of at most " + std::to_string(kMaxFlashVolumes) + " volumes");
  }
  std::vector<FlashVolumeSpec> specs;
  const json &volumes = f["volumes"];
  for (size_t i = 0; i < volumes.size(); ++i) {
    const std::string key = "flash.volumes[" + std::to_string(i) + "]";
    const json &v = volumes[i];
    RequireKnownKeys(v, s.source, key, {"base", "file", "manifest"});
    if (!v.contains("base") || v.contains("file") == v.contains("manifest")) {
      throw ScenarioError(s.source, key,
                          "{\"base\": ..., \"file\": \"x.fv\"} or {\"base\": ..., \"manifest\": "
                          "\"m.json\"}");
    }
    FlashVolumeSpec spec;
    spec.key = key;
    spec.base = ScenarioInteger(v["base"], s.source, key + ".base", FlashDevice::kBase,
                                FlashDevice::kBase + FlashDevice::kSize - 1);
    spec.manifest = v.contains("manifest");
    const std::string pathKey = key + (spec.manifest ? ".manifest" : ".file");
    const json &path = spec.manifest ? v["manifest"] : v["file"];
    if (!path.is_string() || path.get<std::string>().empty()) {
      throw ScenarioError(s.source, pathKey, "a path, got " + path.dump().substr(0, 80));
    }
    spec.path = s.base_dir / path.get<std::string>();
    specs.push_back(std::move(spec));
  }
  return specs;
}

std::vector<std::string> LoadFlashVolumes(const Scenario &s, FlashDevice &flash) {
  std::vector<std::string> warnings;
  for (const FlashVolumeSpec &v : ParseFlashVolumes(s)) {
    const std::vector<uint8_t> bytes =
        v.manifest ? Pack(v.path, s.source, v.key + ".manifest") : ReadVolumeFile(v, s.source);
    Place(flash, v.base, bytes, v.path.string(), s.source, v.key);
    if (!v.manifest) {
      if (const std::string problem = VolumeProblem(bytes); !problem.empty()) {
        warnings.push_back(
            s.source + ": " + v.key + ": " + v.path.string() +
            " is loaded, but is not a firmware volume the boot screen can use: " + problem);
      }
    }
    if (v.base % kVolumeScanStep != 0) {
      warnings.push_back(s.source + ": " + v.key + ": " + v.path.string() + " at " + Hex(v.base) +
                         " is not on a 64 KiB boundary; the boot screen's volume scan does not "
                         "look there");
    }
  }
  return warnings;
}

} // namespace sim
