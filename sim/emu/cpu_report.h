// The processor's part of an image run's report: instructions executed, the deepest stack use
// and the guest errors, as report JSON and as the lines bootsim prints; and reading an image file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/emu/cpu_emulator.h"

namespace sim::emu {

struct CpuReport {
  uint64_t instructions = 0;
  uint64_t stack_bytes = 0; // deepest stack use
  std::vector<GuestError> errors;
  uint64_t flash_writes = 0;
};

nlohmann::json CpuReportJson(const CpuReport &cpu);
// "image: N instructions, deepest stack N bytes, N guest errors", then one line per error.
std::string CpuReportText(const CpuReport &cpu);
// The file's bytes; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> ReadImageFile(const std::filesystem::path &file);

} // namespace sim::emu
