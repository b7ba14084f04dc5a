// Running one board twice, host build and firmware image, and what is compared: the report, the
// screenshot's bytes and the device accesses (I/O, and memory outside flash; temporary RAM never
// reaches the bus).
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/core/trace.h"
#include "sim/emu/pei_image.h"

namespace emutest {

struct Access {
  char kind; // 'i' I/O, 'm' memory
  char op;   // 'r', 'w'
  uint64_t address;
  unsigned width;
  uint64_t value;
  bool operator==(const Access &) const = default;
};
std::string Describe(const Access &a);

// Keeps the device accesses of a run in memory.
class AccessLog final : public sim::Trace {
public:
  AccessLog() : sim::Trace(sink_) {}
  void Record(double, std::string_view kind, std::string_view op, uint64_t addr, unsigned width,
              uint64_t value, std::string_view device) override;
  std::vector<Access> accesses;

private:
  std::ostringstream sink_;
};

struct BootRecord {
  nlohmann::json report;
  std::vector<uint8_t> png;
  std::vector<Access> accesses;
  std::optional<sim::emu::CpuReport> cpu;
};

std::vector<uint8_t> ImageBytes(); // the built BootProgressPei.efi
std::filesystem::path ImageMap();  // its linker map
// A PEI boot of the host build with the module's volume in flash, as an image run has it.
BootRecord HostBoot(const sim::Scenario &scenario);
// A PEI boot of the image.
BootRecord ImageBoot(const sim::Scenario &scenario, const std::vector<uint8_t> &image);
// Empty when equal; else what differs first.
std::string FirstDifference(const BootRecord &host, const BootRecord &image);

} // namespace emutest

namespace emutest {

// An SMM load of DimmReportSmm, host build or image: the report (records included), the driver's
// processor topology, and the device accesses.
struct SmmRecord {
  nlohmann::json report;
  std::vector<Access> accesses;
  std::optional<sim::emu::CpuReport> cpu;
};
SmmRecord HostSmmLoad(const sim::Scenario &scenario);
SmmRecord ImageSmmLoad(const sim::Scenario &scenario);
std::string FirstDifference(const SmmRecord &host, const SmmRecord &image);

} // namespace emutest
