#include "sim/emu/link_map.h"

#include <sstream>
#include <stdexcept>
#include <system_error>

#include "sim/core/input_file.h"

namespace sim::emu {

std::vector<LinkSymbol> ReadLinkMap(const std::filesystem::path &map) {
  std::vector<LinkSymbol> symbols;
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(map, ec))) {
    return symbols;
  }
  const InputFile file = ReadInputFile(map, kLinkMapLimit);
  if (!file.ok()) {
    throw std::runtime_error("the linker map " + map.string() + " " + file.problem);
  }
  std::istringstream in(std::string(file.bytes.begin(), file.bytes.end()));
  uint64_t preferred = 0;
  std::string line;
  const std::string kPreferred = "Preferred load address is ";
  while (std::getline(in, line)) {
    if (const size_t at = line.find(kPreferred); at != std::string::npos) {
      const std::string hex = line.substr(at + kPreferred.size());
      preferred = hex.find_first_not_of("0123456789abcdefABCDEF") == 0 || hex.empty()
                      ? 0
                      : std::stoull(hex.substr(0, 16), nullptr, 16);
      continue;
    }
    // " 0001:00000a60       ?Name@@...  0000000010001a60     object.obj"
    std::istringstream fields(line);
    std::string section, name, address;
    if (!(fields >> section >> name >> address) || section.size() != 13 || section[4] != ':' ||
        address.size() != 16) {
      continue;
    }
    if (address.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      continue;
    }
    const uint64_t va = std::stoull(address, nullptr, 16);
    if (va >= preferred) {
      symbols.push_back({name, static_cast<uint32_t>(va - preferred)});
    }
  }
  return symbols;
}

std::optional<uint32_t> FindSymbol(const std::vector<LinkSymbol> &symbols,
                                   const std::string &part) {
  for (const LinkSymbol &s : symbols) {
    if (s.name.find(part) != std::string::npos) {
      return s.rva;
    }
  }
  return std::nullopt;
}

} // namespace sim::emu
