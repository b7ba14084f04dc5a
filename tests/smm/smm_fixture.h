// Helpers for SMM load tests: a board from an `smm` scenario object, loaded with the driver.
#pragma once

#include <nlohmann/json.hpp>

#include "modules/dimm_report_smm/driver_entry.h"
#include "sim/smm/smm_board.h"
#include "sim/smm/smm_report.h"

namespace smmtest {

inline sim::Scenario ScenarioWith(const nlohmann::json &smm) {
  // Room for several memory-topology HOBs (about 24 KiB each).
  nlohmann::json doc = {{"hob_capacity", 256 * 1024}};
  if (!smm.is_null()) {
    doc["smm"] = smm;
  }
  return sim::ParseScenario(doc, "test-scenario", ".");
}

// JSON triples for slots.
inline nlohmann::json Dimms(const std::vector<sim::DimmSlot> &slots) {
  nlohmann::json list = nlohmann::json::array();
  for (const sim::DimmSlot &d : slots) {
    list.push_back({d.socket, d.channel, d.slot});
  }
  return list;
}

// (socket, channel, slot) of a delivered record, from its bytes 5 to 7.
inline sim::DimmSlot SlotOf(const sim::SinkCall &call) {
  return {call.record[5] / 2u, call.record[5] % 2u * 3u + call.record[6], call.record[7]};
}

} // namespace smmtest
