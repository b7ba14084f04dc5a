#include "sim/core/bus_report.h"
#include "sim/core/hex_text.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace sim {

using nlohmann::json;

std::vector<UnclaimedRange> GroupUnclaimed(const std::vector<UnclaimedAccess> &unclaimed) {
  std::vector<UnclaimedAccess> sorted = unclaimed;
  std::sort(sorted.begin(), sorted.end(), [](const UnclaimedAccess &a, const UnclaimedAccess &b) {
    return std::tie(a.space, a.where, a.addr) < std::tie(b.space, b.where, b.addr);
  });
  std::vector<UnclaimedRange> ranges;
  for (const UnclaimedAccess &u : sorted) {
    if (!ranges.empty()) {
      UnclaimedRange &r = ranges.back();
      if (r.space == u.space && r.device == u.where && u.addr - r.last <= kUnclaimedMergeGap) {
        r.last = u.addr;
        ++r.addresses;
        r.accesses += u.count;
        continue;
      }
    }
    ranges.push_back({u.space, u.where, u.addr, u.addr, 1, u.count});
  }
  return ranges;
}

json DeviceSummary(const Bus &bus) {
  json devices = json::array();
  for (const Device *d : bus.Devices()) {
    const DeviceCounts &c = d->Counts();
    devices.push_back({{"name", d->Name()},
                       {"reads", c.reads},
                       {"writes", c.writes},
                       {"unclaimed", c.unclaimed},
                       {"guest_errors", c.guest_errors}});
  }
  return devices;
}

json UnclaimedSummary(const Bus &bus) {
  json ranges = json::array();
  uint64_t listed = 0;
  for (const UnclaimedRange &r : GroupUnclaimed(bus.Unclaimed())) {
    ranges.push_back({{"space", r.space == Space::Io ? "io" : "mmio"},
                      {"device", r.device},
                      {"first", Hex(r.first)},
                      {"last", Hex(r.last)},
                      {"addresses", r.addresses},
                      {"accesses", r.accesses}});
    listed += r.accesses;
  }
  return {{"ranges", ranges}, {"not_listed", bus.Counts().unclaimed - listed}};
}

} // namespace sim
