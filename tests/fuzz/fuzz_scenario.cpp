// The scenario reader on arbitrary text: strict JSON, the core keys, and the SMM block. Any input
// either gives a scenario within the documented ranges or a ScenarioError; anything else thrown
// (or a crash, a leak, undefined behaviour) ends the run. A scenario that parses parses again,
// to the same values, from the document it keeps.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sim/core/scenario.h"
#include "sim/pei/event_scenario.h"
#include "sim/pei/ppi_names.h"
#include "sim/smm/smm_scenario.h"

namespace {
void Require(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

void CheckRanges(const sim::Scenario &s) {
  for (const uint64_t ns : {s.cost.io_ns, s.cost.mmio_read_ns, s.cost.mmio_write_ns}) {
    Require(ns <= static_cast<uint64_t>(sim::kMaxAccessCostUs * 1000));
  }
  Require(s.hob_capacity >= 64 && s.hob_capacity <= (16u << 20));
  Require(s.config_base % 0x10000000 == 0 && s.config_base <= 0xE0000000);
  for (const auto &[token, value] : s.pcd) {
    Require(token == 5 || (token == 6 && value == 0));
    Require(token != 5 || (value % 0x10000000 == 0 && value <= 0xE0000000));
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  sim::Scenario s;
  try {
    s = sim::ParseScenarioText(text, "fuzz.json", ".");
  } catch (const sim::ScenarioError &) {
    return 0;
  }
  CheckRanges(s);
  const sim::Scenario again = sim::ParseScenario(s.raw, "fuzz.json", ".");
  Require(again.pcd == s.pcd && again.boot_mode == s.boot_mode &&
          again.cost.io_ns == s.cost.io_ns && again.hob_capacity == s.hob_capacity);
  try {
    const sim::PpiEventSetting pei = sim::ParsePpiEvents(s);
    Require(pei.events.size() <= sim::kMaxScenarioEvents);
    Require(pei.preinstalled.size() <= sim::kMaxScenarioEvents);
    for (const std::string &name : pei.events) {
      Require(sim::PlatformPpiGuid(name) != nullptr);
    }
    Require(sim::ParsePpiEvents(again).events == pei.events);
  } catch (const sim::ScenarioError &) {
  }
  try {
    const sim::SmmScenario smm = sim::ParseSmmScenario(s);
    Require(smm.tsc_hz >= 1'000'000 && smm.tsc_hz <= 10'000'000'000);
    Require(smm.processors.size() <= 1024);
  } catch (const sim::ScenarioError &) {
  }
  return 0;
}
