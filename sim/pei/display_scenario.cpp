#include "sim/pei/display_scenario.h"

namespace sim {

using nlohmann::json;

namespace {
constexpr uint8_t kRootPortFunctions = 8;
constexpr size_t kBarCount = PciFunction::kBarCount;
// Memory BARs from 16 bytes to 256 MiB (BAR0's size is the video memory the board allocates);
// I/O BARs from 4 to 256 bytes.
constexpr uint64_t kMemoryBarMin = 16, kMemoryBarMax = 256u << 20;
constexpr uint64_t kIoBarMin = 4, kIoBarMax = 256;

bool IsPowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

uint8_t Byte(const json &value, const std::string &source, const std::string &key) {
  if (!value.is_number() && !value.is_string()) {
    throw ScenarioError(source, key, "a byte (0 to 0xFF), got " + value.dump());
  }
  const uint64_t v = ScenarioNumber(value, source, key);
  if (v > 0xFF) {
    throw ScenarioError(source, key, "a byte (0 to 0xFF), got " + value.dump());
  }
  return static_cast<uint8_t>(v);
}

bool Flag(const json &value, const std::string &source, const std::string &key) {
  if (!value.is_boolean()) {
    throw ScenarioError(source, key, "true or false, got " + value.dump());
  }
  return value.get<bool>();
}

std::optional<DisplayBarSpec> Bar(const json &value, const std::string &source,
                                  const std::string &key) {
  if (value.is_null()) {
    return std::nullopt;
  }
  const std::string shape = "null or {\"kind\": \"memory\" or \"io\", \"size\": bytes}";
  if (!value.is_object() || value.size() != 2 || !value.contains("kind") ||
      !value.contains("size")) {
    throw ScenarioError(source, key, shape + ", got " + value.dump());
  }
  const json &kind = value["kind"];
  if (kind != "memory" && kind != "io") {
    throw ScenarioError(source, key + ".kind", "\"memory\" or \"io\", got " + kind.dump());
  }
  const bool io = kind == "io";
  const uint64_t size = ScenarioNumber(value["size"], source, key + ".size");
  const uint64_t min = io ? kIoBarMin : kMemoryBarMin;
  const uint64_t max = io ? kIoBarMax : kMemoryBarMax;
  if (!IsPowerOfTwo(size) || size < min || size > max) {
    throw ScenarioError(source, key + ".size",
                        std::string("a power of two from ") + std::to_string(min) + " to " +
                            std::to_string(max) + " bytes for " + (io ? "an I/O" : "a memory") +
                            " BAR, got " + value["size"].dump());
  }
  return DisplayBarSpec{io ? BarKind::Io : BarKind::Memory, size};
}
} // namespace

DisplayConfig ParseDisplayConfig(const Scenario &scenario) {
  DisplayConfig c;
  if (!scenario.raw.contains("display")) {
    return c;
  }
  const std::string &src = scenario.source;
  const json &d = scenario.raw["display"];
  if (!d.is_object()) {
    throw ScenarioError(src, "display", "an object, got " + d.dump());
  }
  for (const auto &[key, value] : d.items()) {
    const std::string at = "display." + key;
    if (key == "root_port_function") {
      if (value.is_null()) {
        c.root_port_function.reset();
        continue;
      }
      if (!value.is_number_integer() || value.get<int64_t>() < 0 ||
          value.get<int64_t>() >= kRootPortFunctions) {
        throw ScenarioError(src, at, "a root port function 0 to 7, or null, got " + value.dump());
      }
      c.root_port_function = static_cast<uint8_t>(value.get<int64_t>());
    } else if (key == "revision") {
      c.revision = Byte(value, src, at);
    } else if (key == "bars") {
      if (!value.is_array() || value.size() > kBarCount) {
        throw ScenarioError(src, at, "a list of at most 6 BARs, got " + value.dump());
      }
      c.bars.clear();
      for (size_t i = 0; i < value.size(); ++i) {
        c.bars.push_back(Bar(value[i], src, at + "[" + std::to_string(i) + "]"));
      }
    } else if (key == "vga_function") {
      c.vga_function = Flag(value, src, at);
    } else if (key == "vga_enabled") {
      c.vga_enabled = Flag(value, src, at);
    } else if (key != "chip") {
      throw ScenarioError(src, at,
                          "one of root_port_function, revision, bars, vga_function, vga_enabled, "
                          "chip");
    }
  }
  c.chip = ParseChipConfig(scenario);
  // BAR0 shows the top of the chip's DRAM.
  if (!c.bars.empty() && c.bars[0] && c.bars[0]->kind == BarKind::Memory &&
      c.bars[0]->size > c.chip.SizeBytes()) {
    throw ScenarioError(src, "display.chip.size_mib",
                        "a DRAM that holds BAR0 (" + std::to_string(c.bars[0]->size >> 20) +
                            " MiB), got " + std::to_string(c.chip.size_mib));
  }
  return c;
}

} // namespace sim
