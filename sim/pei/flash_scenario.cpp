#include "sim/pei/flash_scenario.h"

#include <fstream>
#include <iterator>

#include "sim/pi/fv_builder.h"

namespace sim {

using nlohmann::json;

std::filesystem::path AssetsDir() { return BOOTSIM_ASSETS_DIR; }

namespace {
std::vector<uint8_t> ReadVolumeFile(const std::filesystem::path &file, const std::string &source,
                                    const std::string &key) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw ScenarioError(source, key, "a readable volume file, cannot read " + file.string());
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

void LoadFlashVolumes(const Scenario &s, FlashDevice &flash) {
  if (!s.raw.contains("flash")) {
    const std::filesystem::path manifest = AssetsDir() / "manifest.json";
    Place(flash, kDefaultAssetsVolumeBase, Pack(manifest, s.source, "(default flash)"),
          manifest.string(), s.source, "(default flash)");
    return;
  }
  const json &f = s.raw["flash"];
  if (!f.is_object() || !f.contains("volumes") || !f["volumes"].is_array() || f.size() != 1) {
    throw ScenarioError(s.source, "flash", "an object {\"volumes\": [...]}");
  }
  const json &volumes = f["volumes"];
  for (size_t i = 0; i < volumes.size(); ++i) {
    const std::string key = "flash.volumes[" + std::to_string(i) + "]";
    const json &v = volumes[i];
    if (!v.is_object() || !v.contains("base") || v.contains("file") == v.contains("manifest") ||
        v.size() != 2) {
      throw ScenarioError(s.source, key,
                          "{\"base\": ..., \"file\": \"x.fv\"} or {\"base\": ..., \"manifest\": "
                          "\"m.json\"}");
    }
    const uint64_t base = ScenarioNumber(v["base"], s.source, key + ".base");
    const bool prebuilt = v.contains("file");
    const json &path = prebuilt ? v["file"] : v["manifest"];
    if (!path.is_string()) {
      throw ScenarioError(s.source, key + (prebuilt ? ".file" : ".manifest"), "a path");
    }
    const std::filesystem::path file = s.base_dir / path.get<std::string>();
    const std::vector<uint8_t> bytes = prebuilt ? ReadVolumeFile(file, s.source, key + ".file")
                                                : Pack(file, s.source, key + ".manifest");
    Place(flash, base, bytes, file.string(), s.source, key);
  }
}

} // namespace sim
