#include "sim/devices/chip/chip_scenario.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

using nlohmann::json;

namespace {
constexpr uint32_t kSizesMib[] = {128, 256, 512, 1024, 2048};
constexpr uint32_t kLargestSetting = 0xFF; // both eye settings are byte fields

bool Flag(const json &v, const std::string &source, const std::string &key) {
  if (!v.is_boolean()) {
    throw ScenarioError(source, key, "true or false, got " + v.dump());
  }
  return v.get<bool>();
}

uint32_t Count(const json &v, const std::string &source, const std::string &key) {
  return static_cast<uint32_t>(ScenarioInteger(v, source, key, 0, 0xFFFFFFFFu));
}

ChipRange Range(const json &v, const std::string &source, const std::string &key) {
  const std::string expected = "[lo, hi] with lo <= hi <= 0xFF";
  if (!v.is_array() || v.size() != 2) {
    throw ScenarioError(source, key, expected + ", got " + v.dump());
  }
  const uint64_t lo = ScenarioNumber(v[0], source, key + "[0]");
  const uint64_t hi = ScenarioNumber(v[1], source, key + "[1]");
  if (lo > hi || hi > kLargestSetting) {
    throw ScenarioError(source, key, expected + ", got " + v.dump());
  }
  return {static_cast<uint32_t>(lo), static_cast<uint32_t>(hi)};
}

void ParseEye(const json &v, const std::string &source, ChipConfig &c) {
  const std::string key = "display.chip.eye";
  if (!v.is_object()) {
    throw ScenarioError(source, key, "{\"vref\": [lo, hi], \"delay\": [lo, hi]}, got " + v.dump());
  }
  for (const auto &[name, value] : v.items()) {
    if (name == "vref") {
      c.eye_vref = Range(value, source, key + ".vref");
    } else if (name == "delay") {
      c.eye_delay = Range(value, source, key + ".delay");
    } else {
      throw ScenarioError(source, key + "." + name, "vref or delay");
    }
  }
}
} // namespace

ChipConfig ParseChipConfig(const Scenario &s) {
  ChipConfig c;
  if (!s.raw.contains("display")) {
    return c;
  }
  const json &display = s.raw["display"];
  if (!display.is_object()) {
    throw ScenarioError(s.source, "display", "an object, got " + display.dump());
  }
  if (!display.contains("chip")) {
    return c;
  }
  const json &chip = display["chip"];
  if (!chip.is_object()) {
    throw ScenarioError(s.source, "display.chip", "an object, got " + chip.dump());
  }
  ChipFaults &f = c.faults;
  for (const auto &[name, value] : chip.items()) {
    const std::string key = "display.chip." + name;
    if (name == "started_by_bmc") {
      c.started_by_bmc = Flag(value, s.source, key);
    } else if (name == "ddr4") {
      c.ddr4 = Flag(value, s.source, key);
    } else if (name == "straps") {
      const uint64_t straps = ScenarioNumber(value, s.source, key);
      if ((straps & ~uint64_t{chipreg::kBoardStraps}) != 0) {
        throw ScenarioError(s.source, key,
                            "SCU70 strap bits 23, 25 and 27 only (mask 0x0A800000), got " +
                                value.dump());
      }
      c.straps = static_cast<uint32_t>(straps);
    } else if (name == "size_mib") {
      const uint64_t size = ScenarioNumber(value, s.source, key);
      bool known = false;
      for (const uint32_t mib : kSizesMib) {
        known = known || size == mib;
      }
      if (!known) {
        throw ScenarioError(s.source, key, "128, 256, 512, 1024 or 2048, got " + value.dump());
      }
      c.size_mib = static_cast<uint32_t>(size);
    } else if (name == "eye") {
      ParseEye(value, s.source, c);
    } else if (name == "dead_passes") {
      f.dead_passes = Count(value, s.source, key);
    } else if (name == "phy_errors") {
      f.phy_errors = Count(value, s.source, key);
    } else if (name == "verify_failures") {
      f.verify_failures = Count(value, s.source, key);
    } else if (name == "scu_never_unlocks") {
      f.scu_never_unlocks = Flag(value, s.source, key);
    } else if (name == "mcr_never_unlocks") {
      f.mcr_never_unlocks = Flag(value, s.source, key);
    } else if (name == "phy_stuck_busy") {
      f.phy_stuck_busy = Flag(value, s.source, key);
    } else if (name == "test_never_done") {
      f.test_never_done = Flag(value, s.source, key);
    } else if (name == "cache_never_ready") {
      f.cache_never_ready = Flag(value, s.source, key);
    } else if (name == "never_started") {
      f.never_started = Flag(value, s.source, key);
    } else {
      throw ScenarioError(s.source, key,
                          "one of started_by_bmc, ddr4, straps, size_mib, eye, dead_passes, "
                          "phy_errors, verify_failures, scu_never_unlocks, mcr_never_unlocks, "
                          "phy_stuck_busy, test_never_done, cache_never_ready, never_started");
    }
  }
  return c;
}

} // namespace sim
