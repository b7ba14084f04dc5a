// The scenario's flash: key "flash" = {"volumes": [{"base": "0xFF800000", "file": "x.fv"} or
// {"base": ..., "manifest": "m.json"} (packed on the fly)]}, paths relative to the scenario file.
// Without the key the flash holds the default artwork volume packed from assets/manifest.json.
// A base lies in the flash (0xFF000000 to 0xFFFFFFFF), a volume file is a regular file of at most
// 16 MiB, and at most kMaxFlashVolumes are listed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sim/core/scenario.h"
#include "sim/devices/memory/flash.h"

namespace sim {

// Where the default artwork volume sits in flash.
constexpr uint64_t kDefaultAssetsVolumeBase = 0xFF800000;
constexpr size_t kMaxFlashVolumes = 64;

// The source tree's assets/ directory, where the default artwork and its manifest live.
std::filesystem::path AssetsDir();

// One volume of the flash key, as the scenario gives it.
struct FlashVolumeSpec {
  uint64_t base = 0;
  std::filesystem::path path; // resolved against the scenario's directory
  bool manifest = false;      // packed from a manifest, else a prebuilt volume file
  std::string key;            // "flash.volumes[1]", for messages
};

// Checks the flash key (shape, bases, paths) without reading any file. Throws ScenarioError.
std::vector<FlashVolumeSpec> ParseFlashVolumes(const Scenario &scenario);

// Loads the scenario's volumes into `flash`. Throws ScenarioError for a malformed key, a volume
// that cannot be read or packed, one outside the flash, or volumes that overlap. Returns warnings
// about what loads but will not work as the scenario may mean (a volume file that is not a
// firmware volume, a base the boot screen's volume scan never looks at), each naming the file.
std::vector<std::string> LoadFlashVolumes(const Scenario &scenario, FlashDevice &flash);

// What is wrong with `bytes` as a firmware volume, or empty when its header and its file list
// parse.
std::string VolumeProblem(const std::vector<uint8_t> &bytes);

} // namespace sim
