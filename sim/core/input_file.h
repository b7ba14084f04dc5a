// Reading a file a user names (a scenario, a manifest, a BMP, a volume) without trusting it: it
// must be a regular file no larger than what that input can be. A directory, a FIFO or a device
// (/dev/zero never ends), a missing or unreadable file, or one above the limit is refused with a
// sentence that says which; nothing is read past the limit, and a FIFO is never waited on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The largest input of each kind, in bytes.
constexpr uint64_t kScenarioFileLimit = 1u << 20; // 1 MiB of JSON
constexpr uint64_t kManifestFileLimit = 1u << 20; // 1 MiB of JSON
// A BMP, a volume, or a file packed into a volume: no more than the 16 MiB flash holds.
constexpr uint64_t kFlashImageLimit = 16u << 20;

struct InputFile {
  std::vector<uint8_t> bytes;
  std::string problem; // empty when the bytes were read, else e.g. "is a directory"
  bool ok() const { return problem.empty(); }
};

// Reads `file` whole when it is a regular readable file of at most `limit` bytes; otherwise
// returns the problem, worded to follow the file's name ("x.json is a directory").
InputFile ReadInputFile(const std::filesystem::path &file, uint64_t limit);

// "1 MiB", "16 MiB", "4096 bytes": a limit as people read it.
std::string ByteCountText(uint64_t bytes);

} // namespace sim
