#include "sim/emu/cpu_report.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sim::emu {

namespace {
std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}
} // namespace

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

std::vector<uint8_t> ReadImageFile(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read the image");
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace sim::emu
