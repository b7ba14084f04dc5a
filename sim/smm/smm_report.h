// The `smm` part of report.json: load status, the records the sink received, the measured
// time-stamp-counter rate, sink lookups and SMM pool use.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "sim/smm/smm_board.h"

namespace sim {

// 32 lower-case hex digits.
std::string RecordHex(const SinkCall &call);

nlohmann::json SmmReport(const SmmBoard &board, EFI_STATUS status, uint64_t tscFrequency);

} // namespace sim
