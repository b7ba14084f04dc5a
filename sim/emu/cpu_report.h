// The processor's part of an image run's report: instructions executed, the deepest stack use
// and the guest errors, and reading an image file.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <vector>

#include "sim/emu/pei_image.h"

namespace sim::emu {

nlohmann::json CpuReportJson(const CpuReport &cpu);
// The file's bytes; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> ReadImageFile(const std::filesystem::path &file);

} // namespace sim::emu
