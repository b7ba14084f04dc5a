#include "sim/core/scenario.h"

#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "sim/core/input_file.h"
#include "sim/core/json_input.h"
#include "sim/core/scenario_keys.h"
#include "uefi/pi_pei.h"

namespace sim {

using nlohmann::json;

ScenarioError::ScenarioError(const std::string &f, const std::string &k, const std::string &e)
    : std::runtime_error(f + ": key '" + k + "': expected " + e), file(f), key(k), expected(e) {}

namespace {
// Default PCI Express configuration base (token 5) of the board.
constexpr uint64_t kDefaultPciExpressBase = 0x80000000;
// 256 MiB of configuration space, aligned, below the flash and the PCH's private space.
constexpr uint64_t kConfigSpaceSize = 0x10000000;
constexpr uint64_t kHighestConfigBase = 0xE0000000;
constexpr uint64_t kPcdTokenPciExpressBase = 5;
constexpr uint64_t kPcdTokenSegmentTable = 6;
constexpr uint64_t kMinHobCapacity = 64;
constexpr uint64_t kMaxHobCapacity = 16u << 20;

std::string KnownList(std::initializer_list<std::string_view> known) {
  std::string list;
  for (std::string_view k : known) {
    list += (list.empty() ? "" : ", ") + std::string(k);
  }
  return list;
}

uint64_t MicrosToNanos(const json &value, const std::string &source, const std::string &key) {
  const double us = ScenarioReal(value, source, key, 0, kMaxAccessCostUs, "microseconds");
  return static_cast<uint64_t>(std::llround(us * 1000.0));
}

uint64_t ConfigBase(const json &value, const std::string &source, const std::string &key) {
  uint64_t base = 1;
  try {
    base = ScenarioInteger(value, source, key, 0, kHighestConfigBase);
  } catch (const ScenarioError &) {
  }
  if (base % kConfigSpaceSize != 0) {
    throw ScenarioError(source, key,
                        "a multiple of 0x10000000 from 0 to 0xE0000000, got " +
                            value.dump().substr(0, 80));
  }
  return base;
}

uint32_t BootMode(const json &m, const std::string &source) {
  if (m == "normal") {
    return BOOT_WITH_FULL_CONFIGURATION;
  }
  if (m == "s3") {
    return BOOT_ON_S3_RESUME;
  }
  if (m == "recovery") {
    return BOOT_IN_RECOVERY_MODE;
  }
  if (m.is_number_unsigned() && m.get<uint64_t>() <= 0xFFFFFFFF) {
    return m.get<uint32_t>();
  }
  throw ScenarioError(source, "boot_mode",
                      "\"normal\", \"s3\", \"recovery\" or a 32-bit number, got " + m.dump());
}

// Returns whether the scenario sets token 5 itself.
bool ParsePcd(const json &p, const std::string &source, Scenario &s) {
  bool setsBase = false;
  if (!p.is_object()) {
    throw ScenarioError(source, "pcd", "an object of token numbers to values");
  }
  for (const auto &[token, value] : p.items()) {
    if (token == "segment_table") {
      continue; // the platform's table: built by the board (sim/pei/platform_scenario.h)
    }
    const std::string at = "pcd." + token;
    uint64_t t = 0;
    try {
      t = ScenarioNumber(json(token), source, at);
    } catch (const ScenarioError &) {
      t = 0;
    }
    if (t == kPcdTokenPciExpressBase) {
      s.pcd[t] = ConfigBase(value, source, at);
      setsBase = true;
    } else if (t == kPcdTokenSegmentTable) {
      // The module dereferences this pointer: only "no table" can be given as a number.
      if (!value.is_number_unsigned() || value.get<uint64_t>() != 0) {
        throw ScenarioError(source, at, "0 (no segment table), got " + value.dump().substr(0, 80));
      }
      s.pcd[t] = 0;
    } else {
      throw ScenarioError(source, at,
                          "a PCD token the board publishes: 5 (PCI Express base) or 6 (segment "
                          "table pointer, 0 only)");
    }
  }
  return setsBase;
}
} // namespace

std::string KeyPath(const std::string &parent, const std::string &key) {
  return parent.empty() ? key : parent + "." + key;
}

void RequireKnownKeys(const json &value, const std::string &source, const std::string &at,
                      std::initializer_list<std::string_view> known) {
  if (!value.is_object()) {
    throw ScenarioError(source, at.empty() ? "(top level)" : at,
                        "an object with keys from " + KnownList(known) + ", got " +
                            value.dump().substr(0, 80));
  }
  for (const auto &[key, v] : value.items()) {
    bool found = false;
    for (std::string_view k : known) {
      found = found || k == key;
    }
    if (!found) {
      throw ScenarioError(source, KeyPath(at, key),
                          "one of the known keys (" + KnownList(known) + ")");
    }
  }
}

std::string RangeText(uint64_t min, uint64_t max) {
  char text[64];
  if (max > 0xFFFF) {
    std::snprintf(text, sizeof text, "from 0x%" PRIX64 " to 0x%" PRIX64, min, max);
  } else {
    std::snprintf(text, sizeof text, "from %" PRIu64 " to %" PRIu64, min, max);
  }
  return text;
}

uint64_t ScenarioInteger(const json &value, const std::string &source, const std::string &key,
                         uint64_t min, uint64_t max) {
  const std::string expected = "an integer " + RangeText(min, max) + " (a number or a \"0x...\" " +
                               "string), got " + value.dump().substr(0, 80);
  uint64_t n = 0;
  if (value.is_number_unsigned() || (value.is_number_integer() && value.get<int64_t>() >= 0)) {
    n = value.get<uint64_t>();
  } else if (value.is_string()) {
    const std::string s = value.get<std::string>();
    try {
      size_t used = 0;
      n = std::stoull(s, &used, 0);
      if (used != s.size() || s.empty() || !std::isxdigit(static_cast<unsigned char>(s[0]))) {
        throw ScenarioError(source, key, expected);
      }
    } catch (const std::logic_error &) { // invalid_argument, out_of_range
      throw ScenarioError(source, key, expected);
    }
  } else {
    throw ScenarioError(source, key, expected);
  }
  if (n < min || n > max) {
    throw ScenarioError(source, key, expected);
  }
  return n;
}

double ScenarioReal(const json &value, const std::string &source, const std::string &key,
                    double min, double max, const std::string &what) {
  if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < min ||
      value.get<double>() > max) {
    char range[64];
    std::snprintf(range, sizeof range, "from %g to %g", min, max);
    throw ScenarioError(
        source, key, "a number of " + what + " " + range + ", got " + value.dump().substr(0, 80));
  }
  return value.get<double>();
}

bool ScenarioBool(const json &value, const std::string &source, const std::string &key) {
  if (!value.is_boolean()) {
    throw ScenarioError(source, key, "true or false, got " + value.dump().substr(0, 80));
  }
  return value.get<bool>();
}

uint64_t ScenarioNumber(const json &value, const std::string &source, const std::string &key) {
  return ScenarioInteger(value, source, key, 0, UINT64_MAX);
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
  s.pcd[kPcdTokenPciExpressBase] = kDefaultPciExpressBase;
  return s;
}

Scenario ParseScenario(const json &doc, const std::string &source,
                       const std::filesystem::path &baseDir) {
  if (!doc.is_object()) {
    throw ScenarioError(source, "(top level)", "a JSON object");
  }
  CheckScenarioKeys(doc, source); // unknown keys anywhere, before any block is read
  Scenario s = DefaultScenario();
  s.source = source;
  s.base_dir = baseDir;
  s.raw = doc;
  if (doc.contains("boot_mode")) {
    s.boot_mode = BootMode(doc["boot_mode"], source);
  }
  if (doc.contains("cost_model")) {
    const json &c = doc["cost_model"];
    if (c.contains("io_us")) {
      s.cost.io_ns = MicrosToNanos(c["io_us"], source, "cost_model.io_us");
    }
    if (c.contains("mmio_read_us")) {
      s.cost.mmio_read_ns = MicrosToNanos(c["mmio_read_us"], source, "cost_model.mmio_read_us");
    }
    if (c.contains("mmio_write_us")) {
      s.cost.mmio_write_ns = MicrosToNanos(c["mmio_write_us"], source, "cost_model.mmio_write_us");
    }
  }
  const bool pcdSetsBase = doc.contains("pcd") && ParsePcd(doc["pcd"], source, s);
  if (doc.contains("host")) {
    const json &h = doc["host"];
    if (h.contains("config_base")) {
      s.config_base = ConfigBase(h["config_base"], source, "host.config_base");
    }
    if (h.contains("decoders")) {
      s.host_decoders = ScenarioBool(h["decoders"], source, "host.decoders");
    }
    if (!pcdSetsBase) {
      s.pcd[kPcdTokenPciExpressBase] = s.config_base; // the platform publishes the base it decodes
    }
  }
  if (doc.contains("hob_capacity")) {
    s.hob_capacity = ScenarioInteger(doc["hob_capacity"], source, "hob_capacity", kMinHobCapacity,
                                     kMaxHobCapacity);
  }
  return s;
}

Scenario ParseScenarioText(std::string_view text, const std::string &source,
                           const std::filesystem::path &baseDir) {
  json doc;
  try {
    doc = ParseJsonStrictly(text);
  } catch (const JsonInputError &e) {
    throw ScenarioError(source, e.key.empty() ? "(file)" : e.key, e.what());
  }
  return ParseScenario(doc, source, baseDir);
}

Scenario LoadScenario(const std::filesystem::path &file) {
  const InputFile in = ReadInputFile(file, kScenarioFileLimit);
  if (!in.ok()) {
    throw ScenarioError(file.string(), "(file)",
                        "a regular file of at most " + ByteCountText(kScenarioFileLimit) +
                            ", but it " + in.problem);
  }
  return ParseScenarioText(
      std::string_view(reinterpret_cast<const char *>(in.bytes.data()), in.bytes.size()),
      file.string(), file.parent_path().empty() ? "." : file.parent_path());
}

} // namespace sim
