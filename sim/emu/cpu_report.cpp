#include "sim/emu/cpu_report.h"

#include <cstdio>
#include <stdexcept>

#include "sim/core/hex_text.h"
#include "sim/core/input_file.h"

namespace sim::emu {

nlohmann::json CpuReportJson(const CpuReport &cpu) {
  nlohmann::json errors = nlohmann::json::array();
  for (const GuestError &e : cpu.errors) {
    errors.push_back({{"what", e.what}, {"pc", Hex(e.pc)}, {"address", Hex(e.address)}});
  }
  return {{"instructions", cpu.instructions},
          {"stack_bytes", cpu.stack_bytes},
          {"flash_writes", cpu.flash_writes},
          {"guest_errors", errors}};
}

std::string CpuReportText(const CpuReport &cpu) {
  char line[160];
  std::snprintf(line, sizeof line,
                "image: %llu instructions, deepest stack %llu bytes, %zu guest errors\n",
                static_cast<unsigned long long>(cpu.instructions),
                static_cast<unsigned long long>(cpu.stack_bytes), cpu.errors.size());
  std::string text = line;
  for (const GuestError &e : cpu.errors) {
    std::snprintf(line, sizeof line,
                  "  guest error at 0x%llX: ", static_cast<unsigned long long>(e.pc));
    text += line + e.what + "\n";
  }
  return text;
}

std::vector<uint8_t> ReadImageFile(const std::filesystem::path &file) {
  InputFile in = ReadInputFile(file, kFlashImageLimit);
  if (!in.ok()) {
    throw std::runtime_error("cannot read the image: it " + in.problem +
                             " (an image is a regular file of at most " +
                             ByteCountText(kFlashImageLimit) + ")");
  }
  return std::move(in.bytes);
}

} // namespace sim::emu
