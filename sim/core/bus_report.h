// What a run did on the bus, for report.json: each device's counts, and the addresses nothing
// decoded, grouped into ranges so that a scan of a missing device reads as one line.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/core/bus.h"

namespace sim {

// Addresses of one space and device are merged while each lies at most this far past the
// previous one: a run of accesses as wide as the widest access (8 bytes) reads as one range.
constexpr uint64_t kUnclaimedMergeGap = 8;

struct UnclaimedRange {
  Space space;
  std::string device; // whose decode the accesses reached, or "host"
  uint64_t first, last;
  uint64_t addresses; // distinct addresses in the range
  uint64_t accesses;
};

std::vector<UnclaimedRange> GroupUnclaimed(const std::vector<UnclaimedAccess> &unclaimed);

// [{"name", "reads", "writes", "unclaimed", "guest_errors"}], in the bus's registration order.
nlohmann::json DeviceSummary(const Bus &bus);
// {"ranges": [{"space", "device", "first", "last", "addresses", "accesses"}], "not_listed": n}:
// `not_listed` counts accesses to addresses beyond the bus's list (Bus::kMaxUnclaimedKept).
nlohmann::json UnclaimedSummary(const Bus &bus);

} // namespace sim
