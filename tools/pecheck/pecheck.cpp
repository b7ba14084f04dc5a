// pecheck IMAGE --machine ia32|x64
// Checks that a firmware image is a PE32 (IA32) or PE32+ (X64) EFI boot-service driver with no
// import table and a base-relocation table, and prints its code and data size. Exit codes: 0 the
// image passes, 1 it does not, 2 bad usage or an IMAGE that is not a readable regular file of at
// most 16 MiB.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/core/input_file.h"

namespace {
struct Image {
  std::vector<uint8_t> bytes;
  uint32_t U16(size_t at) const {
    return at + 2 <= bytes.size() ? bytes[at] | bytes[at + 1] << 8 : 0;
  }
  uint32_t U32(size_t at) const {
    return at + 4 <= bytes.size() ? U16(at) | static_cast<uint32_t>(U16(at + 2)) << 16 : 0;
  }
};

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint16_t kSubsystemEfiBootServiceDriver = 11;
constexpr uint32_t kSectionCode = 0x20;       // IMAGE_SCN_CNT_CODE
constexpr uint32_t kSectionInitData = 0x40;   // IMAGE_SCN_CNT_INITIALIZED_DATA
constexpr uint32_t kSectionUninitData = 0x80; // IMAGE_SCN_CNT_UNINITIALIZED_DATA
constexpr uint32_t kSectionDiscardable = 0x02000000;

int Fail(const std::string &path, const std::string &why) {
  std::fprintf(stderr, "pecheck: %s: %s\n", path.c_str(), why.c_str());
  return 1;
}
} // namespace

constexpr char kUsage[] =
    "usage: pecheck IMAGE --machine ia32|x64 [--max-size BYTES]\n"
    "Checks that IMAGE is a PE32 (ia32) or PE32+ (x64) EFI boot-service driver with no imports\n"
    "and with base relocations, and no larger on disk than BYTES when given, and prints its size\n"
    "and its code and data sizes.\n"
    "exit codes: 0 the image passes; 1 it does not; 2 bad usage or an unreadable IMAGE\n";

int main(int argc, char **argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  unsigned long long maxSize = 0; // 0: no limit
  if (argc == 6 && std::strcmp(argv[4], "--max-size") == 0) {
    char *end = nullptr;
    maxSize = std::strtoull(argv[5], &end, 0);
    if (end == argv[5] || *end != '\0' || maxSize == 0) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  } else if (argc != 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (std::strcmp(argv[2], "--machine") != 0 ||
      (std::strcmp(argv[3], "x64") != 0 && std::strcmp(argv[3], "ia32") != 0)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string path = argv[1];
  const bool x64 = std::strcmp(argv[3], "x64") == 0;
  sim::InputFile in = sim::ReadInputFile(path, sim::kFlashImageLimit);
  if (!in.ok()) {
    std::fprintf(stderr, "pecheck: %s %s (an image is a regular file of at most %s)\n",
                 path.c_str(), in.problem.c_str(),
                 sim::ByteCountText(sim::kFlashImageLimit).c_str());
    return 2;
  }
  Image img{std::move(in.bytes)};
  if (img.U16(0) != 0x5A4D) {
    return Fail(path, "no MZ header");
  }
  const uint32_t pe = img.U32(0x3C);
  if (img.U32(pe) != 0x00004550) {
    return Fail(path, "no PE signature");
  }
  const uint32_t machine = img.U16(pe + 4);
  const uint32_t sections = img.U16(pe + 6);
  const uint32_t optSize = img.U16(pe + 20);
  const size_t opt = pe + 24;
  const uint32_t magic = img.U16(opt);
  if (machine != (x64 ? kMachineAmd64 : kMachineI386)) {
    return Fail(path, "wrong machine type");
  }
  if (magic != (x64 ? kMagicPe32Plus : kMagicPe32)) {
    return Fail(path, x64 ? "not PE32+" : "not PE32");
  }
  // Subsystem sits at the same offset in both optional-header forms; the data directories do not.
  if (img.U16(opt + 68) != kSubsystemEfiBootServiceDriver) {
    return Fail(path, "subsystem is not EFI boot service driver");
  }
  const size_t dirs = opt + (x64 ? 112 : 96);
  const uint32_t dirCount = img.U32(opt + (x64 ? 108 : 92));
  if (dirCount < 6) {
    return Fail(path, "too few data directories");
  }
  if (img.U32(dirs + 8 * 1) != 0 || img.U32(dirs + 8 * 1 + 4) != 0) {
    return Fail(path, "has an import table");
  }
  if (img.U32(dirs + 8 * 5 + 4) == 0) {
    return Fail(path, "has no base relocations");
  }
  uint32_t code = 0, data = 0;
  const size_t table = opt + optSize;
  for (uint32_t i = 0; i < sections; ++i) {
    const size_t s = table + 40 * i;
    const uint32_t size = img.U32(s + 8);
    const uint32_t flags = img.U32(s + 36);
    if (flags & kSectionDiscardable) {
      continue;
    }
    if (flags & kSectionCode) {
      code += size;
    } else if (flags & (kSectionInitData | kSectionUninitData)) {
      data += size;
    }
  }
  std::printf("%s: %s %s, EFI boot service driver, no imports, %zu bytes on disk (code %u bytes, "
              "data %u bytes)\n",
              path.substr(path.find_last_of('/') + 1).c_str(), x64 ? "PE32+" : "PE32",
              x64 ? "X64" : "IA32", img.bytes.size(), code, data);
  if (maxSize != 0 && img.bytes.size() > maxSize) {
    return Fail(path, std::to_string(img.bytes.size()) + " bytes on disk, over the limit of " +
                          std::to_string(maxSize));
  }
  return 0;
}
