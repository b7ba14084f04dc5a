// Running one board twice, host build and firmware image, and what is compared: the report, the
// screenshot's bytes and the device accesses (I/O, and memory outside flash; temporary RAM never
// reaches the bus).
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "sim/emu/pei_image.h"
#include "tests/sim/access_log.h"

namespace emutest {

using test::Access;
using test::AccessDigest;
using test::AccessLog;
using test::Describe;

// The accesses are kept only when asked (`keep`); their count and digest always.
struct BootRecord {
  nlohmann::json report;
  std::vector<uint8_t> png;
  std::vector<Access> accesses;
  AccessDigest digest;
  std::optional<sim::emu::CpuReport> cpu;
};

std::vector<uint8_t> ImageBytes(); // the built BootProgressPei.efi
std::filesystem::path ImageMap();  // its linker map
// A PEI boot of the host build with the module's volume in flash, as an image run has it.
BootRecord HostBoot(const sim::Scenario &scenario, bool keep = false);
// A PEI boot of the image.
BootRecord ImageBoot(const sim::Scenario &scenario, const std::vector<uint8_t> &image,
                     bool keep = false);
// Empty when equal; else what differs first (the first differing access when both kept theirs).
std::string FirstDifference(const BootRecord &host, const BootRecord &image);

} // namespace emutest

namespace emutest {

// An SMM load of DimmReportSmm, host build or image: the report (records included), the driver's
// processor topology, and the device accesses.
struct SmmRecord {
  nlohmann::json report;
  std::vector<Access> accesses;
  AccessDigest digest;
  std::optional<sim::emu::CpuReport> cpu;
};
SmmRecord HostSmmLoad(const sim::Scenario &scenario, bool keep = false);
SmmRecord ImageSmmLoad(const sim::Scenario &scenario, bool keep = false);
std::string FirstDifference(const SmmRecord &host, const SmmRecord &image);

} // namespace emutest
