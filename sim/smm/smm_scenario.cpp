#include "sim/smm/smm_scenario.h"

#include <algorithm>

#include "sim/core/cpu_model.h"
#include "sim/core/efi_status_names.h"

namespace sim {

using nlohmann::json;

namespace {
constexpr uint32_t kPackages = 4, kCoresPerPackage = 8, kThreadsPerCore = 2;
// Ranges of the numbers the block takes: a TSC from 1 MHz to 10 GHz, a sink that appears by the
// 2^32-1st lookup, and a processor list no longer than a large board's.
constexpr uint64_t kMinTscHz = 1'000'000, kMaxTscHz = 10'000'000'000;
constexpr uint64_t kMaxFromRecord = 0xFFFFFFFF;
constexpr size_t kMaxProcessors = 1024;

std::string List(const std::vector<std::string> &names) {
  std::string s;
  for (const std::string &n : names) {
    s += (s.empty() ? "" : ", ") + n;
  }
  return s;
}

std::vector<DimmSlot> ParseDimms(const json &v, const std::string &src) {
  if (!v.is_array()) {
    throw ScenarioError(src, "smm.dimms", "a list of [socket, channel, slot] triples");
  }
  std::vector<DimmSlot> dimms;
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string at = "smm.dimms[" + std::to_string(i) + "]";
    const json &t = v[i];
    if (!t.is_array() || t.size() != 3) {
      throw ScenarioError(src, at, "a [socket, channel, slot] triple, got " + t.dump());
    }
    const uint64_t s = ScenarioNumber(t[0], src, at), c = ScenarioNumber(t[1], src, at),
                   d = ScenarioNumber(t[2], src, at);
    if (s >= MemoryTopologyGeometry::kSockets || c >= MemoryTopologyGeometry::kChannels ||
        d >= MemoryTopologyGeometry::kSlots) {
      throw ScenarioError(src, at, "socket 0-3, channel 0-5, slot 0-1, got " + t.dump());
    }
    const DimmSlot slot{static_cast<uint32_t>(s), static_cast<uint32_t>(c),
                        static_cast<uint32_t>(d)};
    if (std::find(dimms.begin(), dimms.end(), slot) == dimms.end()) {
      dimms.push_back(slot);
    }
  }
  return dimms;
}

std::vector<ProcessorSpec> ParseProcessors(const json &v, const std::string &src) {
  if (!v.is_array() || v.size() > kMaxProcessors) {
    throw ScenarioError(src, "smm.processors",
                        "a list of at most " + std::to_string(kMaxProcessors) +
                            " {\"apic_id\": N, \"enabled\": bool}");
  }
  std::vector<ProcessorSpec> list;
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string at = "smm.processors[" + std::to_string(i) + "]";
    const json &p = v[i];
    if (!p.is_object() || !p.contains("apic_id")) {
      throw ScenarioError(src, at, "an object with apic_id (and enabled), got " + p.dump());
    }
    RequireKnownKeys(p, src, at, {"apic_id", "enabled"});
    const uint64_t id = ScenarioNumber(p["apic_id"], src, at + ".apic_id");
    if (id > 0xFFFFFFFF) {
      throw ScenarioError(src, at + ".apic_id", "a 32-bit APIC ID");
    }
    bool enabled = true;
    if (p.contains("enabled")) {
      if (!p["enabled"].is_boolean()) {
        throw ScenarioError(src, at + ".enabled", "true or false");
      }
      enabled = p["enabled"].get<bool>();
    }
    list.push_back({static_cast<uint32_t>(id), enabled});
  }
  return list;
}

void ParseCpuid(const json &v, const std::string &src, SmmScenario &s) {
  if (!v.is_object()) {
    throw ScenarioError(src, "smm.cpuid", "an object of \"leaf\" or \"leaf.sub\" to 4 registers");
  }
  for (const auto &[key, regs] : v.items()) {
    const std::string at = "smm.cpuid." + key;
    const size_t dot = key.find('.');
    const uint64_t leaf = ScenarioNumber(json(key.substr(0, dot)), src, at);
    const uint64_t sub = dot == std::string::npos
                             ? CpuModel::kAnySubLeaf
                             : ScenarioNumber(json(key.substr(dot + 1)), src, at);
    if (leaf > 0xFFFFFFFF || sub > 0xFFFFFFFF || !regs.is_array() || regs.size() != 4) {
      throw ScenarioError(src, at, "a 32-bit leaf (and sub-leaf) with [eax, ebx, ecx, edx]");
    }
    uint32_t r[4];
    for (size_t i = 0; i < 4; ++i) {
      const uint64_t n = ScenarioNumber(regs[i], src, at);
      if (n > 0xFFFFFFFF) {
        throw ScenarioError(src, at, "32-bit register values");
      }
      r[i] = static_cast<uint32_t>(n);
    }
    s.cpuid[{static_cast<uint32_t>(leaf), static_cast<uint32_t>(sub)}] = {r[0], r[1], r[2], r[3]};
  }
}

SinkSpec ParseSink(const json &v, const std::string &src) {
  if (!v.is_object()) {
    throw ScenarioError(src, "smm.sink", "an object with present, from_record, status");
  }
  SinkSpec sink;
  for (const auto &[key, value] : v.items()) {
    const std::string at = "smm.sink." + key;
    if (key == "present") {
      if (!value.is_boolean()) {
        throw ScenarioError(src, at, "true or false");
      }
      sink.present = value.get<bool>();
    } else if (key == "from_record") {
      sink.from_record = ScenarioInteger(value, src, at, 1, kMaxFromRecord);
    } else if (key == "status") {
      if (value.is_string() && EfiStatusFromName(value.get<std::string>())) {
        sink.status = *EfiStatusFromName(value.get<std::string>());
      } else if (value.is_string() && value.get<std::string>().rfind("EFI_", 0) == 0) {
        throw ScenarioError(src, at, "a known EFI status name or a number, got " + value.dump());
      } else {
        sink.status = ScenarioNumber(value, src, at);
      }
    } else {
      throw ScenarioError(src, at, "one of present, from_record, status");
    }
  }
  return sink;
}

std::vector<uint8_t> ParseHex(const json &v, const std::string &src) {
  std::string s = v.is_string() ? v.get<std::string>() : std::string("?");
  s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
  if (!v.is_string() || s.size() % 2 != 0 ||
      s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    throw ScenarioError(src, "smm.pcd7", "a string of hex byte pairs, got " + v.dump());
  }
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < s.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(s.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}
} // namespace

const std::vector<std::string> &SmmInterfaceNames() {
  static const std::vector<std::string> names = {
      "smm_base2",         "smm_access2",      "pcd",
      "smm_cpu_service",   "hob_list",         "platform_fd480a76",
      "platform_a7ced760", "platform_0067835f"};
  return names;
}

SmmScenario DefaultSmmScenario() {
  SmmScenario s;
  s.dimms = AllDimmSlots();
  for (uint32_t p = 0; p < kPackages; ++p) {
    for (uint32_t c = 0; c < kCoresPerPackage; ++c) {
      for (uint32_t t = 0; t < kThreadsPerCore; ++t) {
        s.processors.push_back({p << 4 | c << 1 | t, true});
      }
    }
  }
  const uint32_t any = CpuModel::kAnySubLeaf;
  s.cpuid[{0x0, any}] = {0x1B, 0, 0, 0};
  // Leaf 1: 16 logical processors per package, EDX bit 28 (multi-threading).
  s.cpuid[{0x1, any}] = {0x00000F01, 16u << 16, 0, 1u << 28};
  // Leaf 4 sub-leaf 0: 8 cores per package (EAX bits 31:26 = 7), a level-1 data cache.
  s.cpuid[{0x4, 0}] = {7u << 26 | 0x121, 0, 0, 0};
  // Leaf 0x0B: SMT level shift 1, core level shift 4, then the end of the list.
  s.cpuid[{0xB, 0}] = {1, 2, 0x0100, 0};
  s.cpuid[{0xB, 1}] = {4, 16, 0x0201, 0};
  s.cpuid[{0xB, 2}] = {0, 0, 0x0002, 0};
  s.pcd7 = {0x50, 0x4C, 0x41, 0x54, 0x01, 0x00, 0x00, 0x00,
            0x10, 0x20, 0x30, 0x40, 0x00, 0x00, 0x00, 0x00};
  return s;
}

SmmScenario ParseSmmScenario(const Scenario &scenario) {
  SmmScenario s = DefaultSmmScenario();
  if (!scenario.raw.contains("smm")) {
    return s;
  }
  const std::string &src = scenario.source;
  const json &doc = scenario.raw["smm"];
  if (!doc.is_object()) {
    throw ScenarioError(src, "smm", "an object");
  }
  for (const auto &[key, value] : doc.items()) {
    if (key == "dimms") {
      s.dimms = ParseDimms(value, src);
    } else if (key == "topology_hob") {
      if (!value.is_boolean()) {
        throw ScenarioError(src, "smm.topology_hob", "true or false");
      }
      s.topology_hob = value.get<bool>();
    } else if (key == "processors") {
      s.processors = ParseProcessors(value, src);
    } else if (key == "cpuid") {
      ParseCpuid(value, src, s);
    } else if (key == "tsc_hz") {
      s.tsc_hz = ScenarioInteger(value, src, "smm.tsc_hz", kMinTscHz, kMaxTscHz);
    } else if (key == "sink") {
      s.sink = ParseSink(value, src);
    } else if (key == "missing") {
      if (!value.is_array()) {
        throw ScenarioError(src, "smm.missing", "a list of " + List(SmmInterfaceNames()));
      }
      for (const json &n : value) {
        const auto &names = SmmInterfaceNames();
        if (!n.is_string() ||
            std::find(names.begin(), names.end(), n.get<std::string>()) == names.end()) {
          throw ScenarioError(src, "smm.missing",
                              "names from " + List(names) + ", got " + n.dump());
        }
        s.missing.insert(n.get<std::string>());
      }
    } else if (key == "pcd7") {
      s.pcd7 = ParseHex(value, src);
    } else {
      throw ScenarioError(src, "smm." + key,
                          "one of dimms, topology_hob, processors, cpuid, tsc_hz, sink, missing, "
                          "pcd7");
    }
  }
  return s;
}

} // namespace sim
