// The scenario's flash: key "flash" = {"volumes": [{"base": "0xFF800000", "file": "x.fv"} or
// {"base": ..., "manifest": "m.json"} (packed on the fly)]}, paths relative to the scenario file.
// Without the key the flash holds the default artwork volume packed from assets/manifest.json.
#pragma once

#include <filesystem>

#include "sim/core/scenario.h"
#include "sim/devices/memory/flash.h"

namespace sim {

// Where the default artwork volume sits in flash.
constexpr uint64_t kDefaultAssetsVolumeBase = 0xFF800000;

// The source tree's assets/ directory, where the default artwork and its manifest live.
std::filesystem::path AssetsDir();

// Loads the scenario's volumes into `flash`. Throws ScenarioError for a malformed key, a volume
// that cannot be read or packed, one outside the flash, or volumes that overlap.
void LoadFlashVolumes(const Scenario &scenario, FlashDevice &flash);

} // namespace sim
