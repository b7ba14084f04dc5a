#include "sim/devices/chip/chip_record.h"

#include <cstdio>

namespace sim {

using nlohmann::json;

namespace {
std::string Hex32(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", v);
  return text;
}

std::string RegisterName(uint32_t reg) {
  char text[16];
  std::snprintf(text, sizeof text, "MCR%X", reg);
  return text;
}

// A pass as runs of consecutive values with the same outcome.
json PassJson(const std::vector<ChipTrial> &trials) {
  json runs = json::array();
  for (size_t i = 0; i < trials.size();) {
    size_t end = i;
    while (end + 1 < trials.size() && trials[end + 1].passed == trials[i].passed) {
      ++end;
    }
    runs.push_back({{"from", Hex32(trials[i].setting)},
                    {"to", Hex32(trials[end].setting)},
                    {"count", end - i + 1},
                    {"passed", trials[i].passed}});
    i = end + 1;
  }
  return runs;
}

const char *VerifyName(ChipVerify v) {
  switch (v) {
  case ChipVerify::Passed:
    return "passed";
  case ChipVerify::Failed:
    return "failed";
  case ChipVerify::NotRun:
    break;
  }
  return "not run";
}

json Optional(const std::optional<uint32_t> &v) { return v ? json(*v) : json(nullptr); }
json OptionalUs(const std::optional<double> &v) { return v ? json(*v) : json(nullptr); }
double Us(uint64_t ns) { return static_cast<double>(ns) / 1000.0; }

json AttemptJson(const ChipAttempt &a) {
  json searches = json::array();
  for (const ChipSearch &s : a.searches) {
    json passes = json::array();
    for (const std::vector<ChipTrial> &pass : s.passes) {
      passes.push_back(PassJson(pass));
    }
    searches.push_back({{"register", RegisterName(s.reg)},
                        {"passes", passes},
                        {"chosen", s.chosen ? json(Hex32(*s.chosen)) : json(nullptr)},
                        {"virtual_time_us", Us(s.end_ns - s.start_ns)}});
  }
  return {{"t_us", Us(a.start_ns)},
          {"virtual_time_us", Us(a.end_ns - a.start_ns)},
          {"phy_initialisations",
           {{"started", a.phy.started},
            {"completed", a.phy.completed},
            {"failed", a.phy.failed},
            {"aborted", a.phy.aborted}}},
          {"searches", searches},
          {"tests",
           {{"burst", a.tests.burst},
            {"single", a.tests.single},
            {"passed", a.tests.passed},
            {"failed", a.tests.failed}}},
          {"verify_runs", a.verify_runs},
          {"verify", VerifyName(a.verify)},
          {"size_code", Optional(a.size_code)}};
}
} // namespace

json ChipRecordJson(const ChipRecord &r) {
  json attempts = json::array();
  for (const ChipAttempt &a : r.attempts) {
    attempts.push_back(AttemptJson(a));
  }
  return {{"started_by", r.started_by},
          {"running", r.running},
          {"dram",
           {{"type", r.ddr4 ? "DDR4" : "DDR3"},
            {"size_mib", r.size_mib},
            {"up", r.dram_up},
            {"size_code", Optional(r.size_code)}}},
          {"phy_settings", {{"MCR2CC", Hex32(r.vref_setting)}, {"MCR2C0", Hex32(r.delay_setting)}}},
          {"attempts", attempts},
          {"phases_us",
           {{"configure", OptionalUs(r.phases.configure_us)},
            {"dram", OptionalUs(r.phases.dram_us)},
            {"finish", OptionalUs(r.phases.finish_us)},
            {"wait_running", OptionalUs(r.phases.wait_running_us)},
            {"total", OptionalUs(r.phases.total_us)}}},
          {"unclaimed_accesses", r.unclaimed}};
}

} // namespace sim
