#include "sim/core/scenario.h"

#include <cmath>
#include <fstream>
#include <set>

#include "sim/pei/ppi_names.h"
#include "uefi/pi_pei.h"

namespace sim {

using nlohmann::json;

ScenarioError::ScenarioError(const std::string &f, const std::string &k, const std::string &e)
    : std::runtime_error(f + ": key '" + k + "': expected " + e), file(f), key(k), expected(e) {}

namespace {
// Default PCI Express configuration base (token 5) of the board.
constexpr uint64_t kDefaultPciExpressBase = 0x80000000;
constexpr uint64_t kConfigSpaceSize = 0x10000000;
constexpr uint64_t kHighestConfigBase = 0xE0000000;

// Keys of the board's hardware ("display", "pch", "bmc", "flash", "smm") are parsed by the
// assemblies of the models they configure, those of image runs ("temp_ram_size",
// "image_volume_base") by the image harness.
const std::set<std::string> kKnownKeys = {"boot_mode",     "events",
                                          "preinstalled",  "cost_model",
                                          "pcd",           "host",
                                          "hob_capacity",  "flash",
                                          "smm",           "display",
                                          "pch",           "bmc",
                                          "temp_ram_size", "image_volume_base"};

std::vector<std::string> PpiNames(const json &value, const std::string &source,
                                  const std::string &key) {
  if (!value.is_array()) {
    throw ScenarioError(source, key, "a list of PPI names (" + PlatformPpiNameList() + ")");
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < value.size(); ++i) {
    const std::string at = key + "[" + std::to_string(i) + "]";
    if (!value[i].is_string() || !PlatformPpiGuid(value[i].get<std::string>())) {
      throw ScenarioError(source, at,
                          "one of " + PlatformPpiNameList() + ", got " + value[i].dump());
    }
    names.push_back(value[i].get<std::string>());
  }
  return names;
}

uint64_t MicrosToNanos(const json &value, const std::string &source, const std::string &key) {
  if (!value.is_number() || value.get<double>() < 0 || !std::isfinite(value.get<double>())) {
    throw ScenarioError(source, key, "a non-negative number of microseconds, got " + value.dump());
  }
  return static_cast<uint64_t>(std::llround(value.get<double>() * 1000.0));
}
} // namespace

uint64_t ScenarioNumber(const json &value, const std::string &source, const std::string &key) {
  if (value.is_number_unsigned() || (value.is_number_integer() && value.get<int64_t>() >= 0)) {
    return value.get<uint64_t>();
  }
  if (value.is_string()) {
    const std::string s = value.get<std::string>();
    try {
      size_t used = 0;
      const uint64_t n = std::stoull(s, &used, 0);
      if (used == s.size() && !s.empty() && s[0] != '-') {
        return n;
      }
    } catch (const std::exception &) {
    }
  }
  throw ScenarioError(source, key,
                      "a non-negative integer or a \"0x...\" string, got " + value.dump());
}

std::string BootModeName(uint32_t mode) {
  switch (mode) {
  case BOOT_WITH_FULL_CONFIGURATION:
    return "normal";
  case BOOT_ON_S3_RESUME:
    return "s3";
  case BOOT_IN_RECOVERY_MODE:
    return "recovery";
  default:
    return std::to_string(mode);
  }
}

Scenario DefaultScenario() {
  Scenario s;
  s.events = {"ProgressStart",   "ScreenA",     "Milestone5",    "Milestone10", "Milestone15",
              "PermanentMemory", "Milestone30", "IpmiTransport", "Footer"};
  s.pcd[5] = kDefaultPciExpressBase;
  return s;
}

Scenario ParseScenario(const json &doc, const std::string &source,
                       const std::filesystem::path &baseDir) {
  if (!doc.is_object()) {
    throw ScenarioError(source, "(top level)", "a JSON object");
  }
  Scenario s;
  s.source = source;
  s.base_dir = baseDir;
  s.raw = doc;
  s.pcd[5] = kDefaultPciExpressBase;
  for (const auto &[key, value] : doc.items()) {
    if (!kKnownKeys.count(key)) {
      std::string known;
      for (const std::string &k : kKnownKeys) {
        known += (known.empty() ? "" : ", ") + k;
      }
      throw ScenarioError(source, key, "one of the known keys (" + known + ")");
    }
  }
  if (doc.contains("boot_mode")) {
    const json &m = doc["boot_mode"];
    if (m == "normal") {
      s.boot_mode = BOOT_WITH_FULL_CONFIGURATION;
    } else if (m == "s3") {
      s.boot_mode = BOOT_ON_S3_RESUME;
    } else if (m == "recovery") {
      s.boot_mode = BOOT_IN_RECOVERY_MODE;
    } else if (m.is_number_unsigned() && m.get<uint64_t>() <= 0xFFFFFFFF) {
      s.boot_mode = m.get<uint32_t>();
    } else {
      throw ScenarioError(source, "boot_mode",
                          "\"normal\", \"s3\", \"recovery\" or a 32-bit number, got " + m.dump());
    }
  }
  if (doc.contains("events")) {
    s.events = PpiNames(doc["events"], source, "events");
  }
  if (doc.contains("preinstalled")) {
    s.preinstalled = PpiNames(doc["preinstalled"], source, "preinstalled");
  }
  if (doc.contains("cost_model")) {
    const json &c = doc["cost_model"];
    if (!c.is_object()) {
      throw ScenarioError(source, "cost_model",
                          "an object with io_us, mmio_read_us, mmio_write_us");
    }
    for (const auto &[key, value] : c.items()) {
      const std::string at = "cost_model." + key;
      if (key == "io_us") {
        s.cost.io_ns = MicrosToNanos(value, source, at);
      } else if (key == "mmio_read_us") {
        s.cost.mmio_read_ns = MicrosToNanos(value, source, at);
      } else if (key == "mmio_write_us") {
        s.cost.mmio_write_ns = MicrosToNanos(value, source, at);
      } else {
        throw ScenarioError(source, at, "one of io_us, mmio_read_us, mmio_write_us");
      }
    }
  }
  if (doc.contains("pcd")) {
    const json &p = doc["pcd"];
    if (!p.is_object()) {
      throw ScenarioError(source, "pcd", "an object of token numbers to values, and segment_table");
    }
    for (const auto &[token, value] : p.items()) {
      if (token == "segment_table") {
        continue; // the platform's segment table: built by the board (sim/pei/platform_scenario.h)
      }
      const uint64_t t = ScenarioNumber(json(token), source, "pcd." + token);
      s.pcd[t] = ScenarioNumber(value, source, "pcd." + token);
    }
  }
  if (doc.contains("host")) {
    const json &h = doc["host"];
    if (!h.is_object()) {
      throw ScenarioError(source, "host", "an object with config_base");
    }
    for (const auto &[key, value] : h.items()) {
      if (key != "config_base") {
        throw ScenarioError(source, "host." + key, "config_base");
      }
      const uint64_t base = ScenarioNumber(value, source, "host.config_base");
      // 256 MiB of configuration space, aligned, below the flash and the PCH's private space.
      if (base % kConfigSpaceSize != 0 || base > kHighestConfigBase) {
        throw ScenarioError(source, "host.config_base",
                            "a multiple of 0x10000000 from 0 to 0xE0000000");
      }
      s.config_base = base;
    }
    if (!(doc.contains("pcd") && doc["pcd"].is_object() && doc["pcd"].contains("5"))) {
      s.pcd[5] = s.config_base; // the platform publishes the base it decodes
    }
  }
  if (doc.contains("hob_capacity")) {
    s.hob_capacity = ScenarioNumber(doc["hob_capacity"], source, "hob_capacity");
    if (s.hob_capacity < 64 || s.hob_capacity > (16u << 20)) {
      throw ScenarioError(source, "hob_capacity", "a byte count from 64 to 16 MiB");
    }
  }
  return s;
}

Scenario LoadScenario(const std::filesystem::path &file) {
  std::ifstream in(file);
  if (!in) {
    throw ScenarioError(file.string(), "(file)", "a readable scenario file");
  }
  json doc;
  try {
    doc = json::parse(in);
  } catch (const json::parse_error &e) {
    throw ScenarioError(file.string(), "(file)", std::string("valid JSON: ") + e.what());
  }
  return ParseScenario(doc, file.string(), file.parent_path().empty() ? "." : file.parent_path());
}

} // namespace sim
