#include "sim/pei_report.h"

namespace sim {

using nlohmann::json;

nlohmann::json PeiReport(PeiBoard &board, const BootResult &result) {
  json events = json::array();
  for (const EventOutcome &e : result.events) {
    events.push_back({{"name", e.name},
                      {"t_us", e.t_us},
                      {"percent", e.percent ? json(*e.percent) : json(nullptr)}});
  }
  const ProgressRecordState record = ReadProgressRecord(board.core.Hobs());
  const BusCounts &c = board.machine.bus.Counts();
  json calls = json::object();
  for (const auto &[name, count] : board.core.ServiceCalls()) {
    calls[name] = count;
  }
  return {
      {"boot_mode", BootModeName(board.scenario.boot_mode)},
      {"scenario", board.scenario.source},
      {"entry_status", result.entry_status},
      {"events", events},
      {"progress_record",
       {{"present", record.present},
        {"marker", record.present ? json(record.marker) : json(nullptr)},
        {"percent", record.present ? json(record.percent) : json(nullptr)}}},
      {"stall_us", board.core.StallUs()},
      {"bus",
       {{"io", {{"r", c.io.reads}, {"w", c.io.writes}}},
        {"mmio", {{"r", c.mmio.reads}, {"w", c.mmio.writes}}},
        {"unclaimed", c.unclaimed},
        {"guest_errors", c.guest_errors}}},
      {"services", calls},
      {"virtual_time_us", board.machine.clock.NowUs()},
  };
}

} // namespace sim
