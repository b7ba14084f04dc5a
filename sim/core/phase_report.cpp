#include "sim/core/phase_report.h"

#include <cstdio>

namespace sim {

using nlohmann::json;

namespace {
double Us(uint64_t ns) { return static_cast<double>(ns) / 1000.0; }

double Ratio(uint64_t actual, uint64_t floor) {
  return floor == 0 ? 1.0 : static_cast<double>(actual) / static_cast<double>(floor);
}

json PhaseJson(const Phase &p, const CostModel &cost) {
  json children = json::array();
  for (const Phase &c : p.children) {
    children.push_back(PhaseJson(c, cost));
  }
  const uint64_t floor = p.FloorNs(cost);
  const PhaseCounts &s = p.spent;
  return {{"name", p.name},
          {"start_us", Us(p.start_ns)},
          {"time_us", Us(s.ns)},
          {"stall_us", Us(s.stall_ns)},
          {"io", {{"r", s.io.reads}, {"w", s.io.writes}}},
          {"mmio", {{"r", s.mmio.reads}, {"w", s.mmio.writes}}},
          {"memory",
           {{"r", s.bulk.reads},
            {"w", s.bulk.writes},
            {"bytes_read", s.bulk.read_bytes},
            {"bytes_written", s.bulk.write_bytes}}},
          {"floor_us", Us(floor)},
          {"ratio", Ratio(s.ns, floor)},
          {"phases", children}};
}

void AddEvents(json &events, const Phase &p, const CostModel &cost) {
  events.push_back({{"name", p.name},
                    {"cat", "phase"},
                    {"ph", "X"},
                    {"ts", Us(p.start_ns)},
                    {"dur", Us(p.spent.ns)},
                    {"pid", 1},
                    {"tid", 1},
                    {"args",
                     {{"stall_us", Us(p.spent.stall_ns)},
                      {"mmio_reads", p.spent.mmio.reads},
                      {"mmio_writes", p.spent.mmio.writes},
                      {"io", p.spent.io.reads + p.spent.io.writes},
                      {"floor_us", Us(p.FloorNs(cost))}}}});
  for (const Phase &c : p.children) {
    AddEvents(events, c, cost);
  }
}

void AddRows(std::string &out, const Phase &p, const CostModel &cost, unsigned level,
             unsigned depth) {
  if (level >= depth) {
    return;
  }
  const std::string name = std::string(2 * level, ' ') + p.name;
  char line[192];
  std::snprintf(
      line, sizeof line, "  %-40.40s %11.1f %9.1f %9llu %9llu %6.2f\n", name.c_str(),
      Us(p.spent.ns), Us(p.spent.stall_ns), static_cast<unsigned long long>(p.spent.mmio.reads),
      static_cast<unsigned long long>(p.spent.mmio.writes), Ratio(p.spent.ns, p.FloorNs(cost)));
  out += line;
  for (const Phase &c : p.children) {
    AddRows(out, c, cost, level + 1, depth);
  }
}
} // namespace

json PhasesJson(const PhaseLog &log, const CostModel &cost) {
  json out = json::array();
  for (const Phase &p : log.Phases()) {
    out.push_back(PhaseJson(p, cost));
  }
  return out;
}

json CostJson(const PhaseLog &log) {
  const PhaseCounts total = log.Total();
  const uint64_t floor = log.FloorNs(total);
  return {{"time_us", Us(total.ns)}, {"floor_us", Us(floor)}, {"ratio", Ratio(total.ns, floor)}};
}

json TimelineJson(const PhaseLog &log, const CostModel &cost) {
  json events = json::array();
  for (const Phase &p : log.Phases()) {
    AddEvents(events, p, cost);
  }
  return {{"traceEvents", events}, {"displayTimeUnit", "ms"}};
}

std::string PhaseTable(const PhaseLog &log, const CostModel &cost, unsigned depth) {
  std::string out;
  char head[160];
  std::snprintf(head, sizeof head, "  %-40s %11s %9s %9s %9s %6s\n", "phase", "time (us)", "stall",
                "mmio r", "mmio w", "ratio");
  out += head;
  for (const Phase &p : log.Phases()) {
    AddRows(out, p, cost, 0, depth);
  }
  return out;
}

} // namespace sim
