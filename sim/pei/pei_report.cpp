#include "sim/pei/pei_report.h"

#include <cstdio>

#include "sim/binding/image_roles.h"
#include "sim/core/bus_report.h"
#include "sim/core/hex_text.h"
#include "sim/core/phase_report.h"
#include "sim/pei/display_report.h"
#include "sim/pei/platform_report.h"
#include "sim/pi/fv_builder.h"

namespace sim {

using nlohmann::json;

namespace {
json ImageEntry(const ImageCall &call) {
  const BmpPlacement &p = call.placement;
  json entry = {
      {"role", ImageRoleName(call.guid)},
      {"guid", GuidText(call.guid)},
      {"found", call.lookup.found},
      {"drawn", call.drawn()},
      {"why_not", call.drawn() ? json(nullptr) : json(call.why_not())},
      {"high_palette", call.high_palette},
      {"margins_in", {{"bottom", call.bottom_margin_in}, {"left", call.left_margin_in}}},
      {"margins_out", {{"bottom", call.bottom_margin_out}, {"left", call.left_margin_out}}},
      {"bus",
       {{"io", {{"r", call.io_reads}, {"w", call.io_writes}}},
        {"mmio", {{"r", call.mmio_reads}, {"w", call.mmio_writes}}}}},
      {"virtual_time_us", call.cost_us},
  };
  if (call.lookup.found) {
    entry["volume"] = Hex(call.lookup.volume);
    entry["file"] = Hex(call.lookup.file);
  }
  if (call.lookup.section && p.headers_read) {
    entry["size"] = {{"width", p.width}, {"height", p.height}};
    entry["bit_depth"] = p.bit_depth;
    if (p.status == EFI_SUCCESS) {
      entry["position"] = {{"left", p.left},
                           {"top_row", p.height ? json(p.top_row) : json(nullptr)},
                           {"bottom_row", p.height ? json(p.bottom_row) : json(nullptr)}};
      entry["palette"] = {{"first", p.palette_base}, {"count", p.palette_count}};
    }
  }
  return entry;
}
} // namespace

nlohmann::json PeiReport(PeiBoard &board, const BootResult &result) {
  json events = json::array();
  for (const EventOutcome &e : result.events) {
    events.push_back({{"name", e.name},
                      {"t_us", e.t_us},
                      {"percent", e.percent ? json(*e.percent) : json(nullptr)}});
  }
  const ProgressRecordState record = ReadProgressRecord(board.core.Hobs());
  json images = json::array();
  for (const ImageCall &call : board.images.Calls()) {
    images.push_back(ImageEntry(call));
  }
  const BusCounts &c = board.machine.bus.Counts();
  json calls = json::object();
  for (const auto &[name, count] : board.core.ServiceCalls()) {
    calls[name] = count;
  }
  json report = {
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
      {"images", images},
      {"display", DisplayReport(board.display)},
      {"phases", PhasesJson(board.phases, board.machine.bus.Cost())},
      {"cost", CostJson(board.phases)},
      {"devices", DeviceSummary(board.machine.bus)},
      {"unclaimed_accesses", UnclaimedSummary(board.machine.bus)},
      {"warnings", board.warnings},
      {"virtual_time_us", board.machine.clock.NowUs()},
      {"virtual_time_saturated", board.machine.clock.Saturated()},
  };
  report.update(PlatformReport(board.platform));
  return report;
}

} // namespace sim
