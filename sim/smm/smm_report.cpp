#include "sim/smm/smm_report.h"

#include <cstdio>

#include "sim/core/bus_report.h"
#include "sim/core/efi_status_names.h"

namespace sim {

using nlohmann::json;

std::string RecordHex(const SinkCall &call) {
  std::string hex;
  for (uint8_t b : call.record) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  return hex;
}

json SmmReport(const SmmBoard &board, EFI_STATUS status, uint64_t tscFrequency) {
  json records = json::array();
  for (const SinkCall &call : board.sink.Calls()) {
    records.push_back(RecordHex(call));
  }
  const PoolCounts &pool = board.core.Pool().Counts();
  return {
      {"status", EfiStatusName(status)},
      {"records", records},
      {"tsc_frequency", tscFrequency},
      {"tsc_hz", board.smm.tsc_hz},
      {"lookups", board.SinkLookups()},
      {"pool",
       {{"allocated", pool.allocated},
        {"freed", pool.freed},
        {"leaked", board.core.Pool().LiveCount()},
        {"bad_frees", pool.bad_frees + board.core.BootPoolFrees()}}},
      {"devices", DeviceSummary(board.machine.bus)},
      {"unclaimed_accesses", UnclaimedSummary(board.machine.bus)},
      {"virtual_time_us", board.machine.clock.NowUs()},
  };
}

} // namespace sim
