// A board scenario: what the simulated platform does around the module. Read from a JSON file
// (every key optional) or built in. Keys:
//   boot_mode    "normal", "s3", "recovery" or a number
//   events       PPIs other components install, in order, by name (see sim/pei/ppi_names.h)
//   preinstalled PPIs installed before the module is loaded
//   cost_model   {"io_us", "mmio_read_us", "mmio_write_us"}: virtual time per bus access
//   pcd          {"<token>": value}: PCD values by token number (numbers or "0x..." strings)
//                and "segment_table", the platform's PCI segment table (token 6), which the
//                board builds
//   host         {"config_base"}: where the host decodes PCI configuration space (ECAM);
//                PCD token 5 follows it unless the scenario sets token 5 itself
//   hob_capacity bytes of HOB memory
// Hardware keys ("flash", "smm", and "temp_ram_size" and "image_volume_base" of image runs) are
// parsed by the models they configure, from `raw`.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/core/clock.h"

namespace sim {

// A scenario that cannot be used: names the file, the key and what was expected.
class ScenarioError : public std::runtime_error {
public:
  ScenarioError(const std::string &file, const std::string &key, const std::string &expected);
  const std::string file, key, expected;
};

struct Scenario {
  std::string source = "<built-in default>"; // file the scenario came from
  std::filesystem::path base_dir = ".";      // relative paths in the scenario start here
  uint32_t boot_mode = 0;
  std::vector<std::string> events;
  std::vector<std::string> preinstalled;
  CostModel cost;
  std::map<uint64_t, uint64_t> pcd;
  uint64_t config_base = 0x80000000;
  size_t hob_capacity = 64 * 1024;
  nlohmann::json raw = nlohmann::json::object();
};

// The board `make demo` boots: a normal boot through every milestone.
Scenario DefaultScenario();
Scenario ParseScenario(const nlohmann::json &doc, const std::string &source,
                       const std::filesystem::path &baseDir);
Scenario LoadScenario(const std::filesystem::path &file);

// Helpers for models that parse their own keys: a number, or a string "0x..." / decimal.
uint64_t ScenarioNumber(const nlohmann::json &value, const std::string &source,
                        const std::string &key);

std::string BootModeName(uint32_t mode);

} // namespace sim
