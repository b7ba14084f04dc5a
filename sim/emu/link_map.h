// The linker map written beside a firmware image (IMAGE.efi.map): public symbols by RVA, so the
// harness can find functions it observes (the image itself carries no symbol table).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sim::emu {

struct LinkSymbol {
  std::string name; // as the linker prints it (decorated)
  uint32_t rva;
};

// A linker map is text of a few hundred KiB; anything larger is not one.
constexpr uint64_t kLinkMapLimit = 16u << 20;

// The map's public symbols; empty when the file is missing or has none. Throws
// std::runtime_error naming the file when it exists but is not a regular file within the limit.
std::vector<LinkSymbol> ReadLinkMap(const std::filesystem::path &map);
// The RVA of the first symbol whose name contains `part`.
std::optional<uint32_t> FindSymbol(const std::vector<LinkSymbol> &symbols, const std::string &part);

} // namespace sim::emu
