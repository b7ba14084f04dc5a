// A board scenario: what the simulated platform does around the module. Read from a JSON file or
// built in; a key the file leaves out keeps the default board's value (docs/scenario.md lists
// every key with its range and default). Core keys, read here:
//   boot_mode    "normal", "s3", "recovery" or a number 0 to 0xFFFFFFFF
//   cost_model   {"io_us", "mmio_read_us", "mmio_write_us"}: virtual time per bus access, each
//                0 to 1000 microseconds
//   pcd          {"<token>": value}: the PCD tokens the board publishes, 5 (PCI Express base) and 6
//                (segment table pointer, 0 only); "segment_table" is read by its own parser
//   host         {"config_base", "decoders"}: where the host decodes PCI configuration space
//   (ECAM);
//                PCD token 5 follows it unless the scenario sets token 5 itself
//   hob_capacity bytes of HOB memory, 64 to 16 MiB
// Blocks of the board's hardware ("flash", "smm", "display", "pch", "bmc") and the PEI board's
// PPI events ("events", "preinstalled", sim/pei/event_scenario.h) are parsed, from `raw`,
// by the assemblies of the models they configure, with the checking helpers below.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/core/clock.h"

namespace sim {

// A scenario that cannot be used: names the file, the key and what was expected.
class ScenarioError : public std::runtime_error {
public:
  ScenarioError(const std::string &file, const std::string &key, const std::string &expected);
  const std::string file, key, expected;
};

constexpr double kMaxAccessCostUs = 1000.0;

struct Scenario {
  std::string source = "<built-in default>"; // file the scenario came from
  std::filesystem::path base_dir = ".";      // relative paths in the scenario start here
  uint32_t boot_mode = 0;
  CostModel cost;
  std::map<uint64_t, uint64_t> pcd;
  uint64_t config_base = 0x80000000;
  bool host_decoders = true; // host.decoders
  size_t hob_capacity = 64 * 1024;
  nlohmann::json raw = nlohmann::json::object();
};

// The board `make demo` boots: a normal boot through every milestone.
Scenario DefaultScenario();
// The default board with the keys of `doc` applied. Throws ScenarioError.
Scenario ParseScenario(const nlohmann::json &doc, const std::string &source,
                       const std::filesystem::path &baseDir);
// The same from JSON text, read strictly (a key given twice is an error).
Scenario ParseScenarioText(std::string_view text, const std::string &source,
                           const std::filesystem::path &baseDir);
// From a file: a regular file of at most kScenarioFileLimit bytes (sim/core/input_file.h).
Scenario LoadScenario(const std::filesystem::path &file);

// Checking helpers for every parser of a scenario block. Each throws ScenarioError naming the
// scenario file, the key's full path and what is allowed there.

// `parent.key`, or `key` at the top level.
std::string KeyPath(const std::string &parent, const std::string &key);
// `value` must be an object whose keys are all in `known`; `at` is its own path.
void RequireKnownKeys(const nlohmann::json &value, const std::string &source, const std::string &at,
                      std::initializer_list<std::string_view> known);
// A non-negative integer (a JSON number or a "0x..." / decimal string) from `min` to `max`.
uint64_t ScenarioInteger(const nlohmann::json &value, const std::string &source,
                         const std::string &key, uint64_t min, uint64_t max);
// A number (integer or not) from `min` to `max`, described as `what` ("microseconds").
double ScenarioReal(const nlohmann::json &value, const std::string &source, const std::string &key,
                    double min, double max, const std::string &what);
bool ScenarioBool(const nlohmann::json &value, const std::string &source, const std::string &key);
// "from 0 to 0xFFFFFFFF": hexadecimal when the bounds are addresses, decimal otherwise.
std::string RangeText(uint64_t min, uint64_t max);

// Any non-negative 64-bit integer, as ScenarioInteger; prefer ScenarioInteger with a range.
uint64_t ScenarioNumber(const nlohmann::json &value, const std::string &source,
                        const std::string &key);

std::string BootModeName(uint32_t mode);

} // namespace sim
