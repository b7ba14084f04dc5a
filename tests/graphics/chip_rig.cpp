#include "tests/graphics/chip_rig.h"

#include <nlohmann/json.hpp>

#include "sim/devices/chip/chip_regs.h"

namespace test {

CrtcD0Double::CrtcD0Double(sim::Bus &bus, std::function<uint8_t()> src)
    : Device(bus, "crtc-d0-double"), source(std::move(src)),
      ports_(sim::Region::Leaf(
          this, "crtc-d0-double", 2,
          [this](uint64_t offset, unsigned) -> uint64_t {
            if (offset == 0) {
              return index_;
            }
            return index_ == kChipStateIndex ? source() : 0;
          },
          [this](uint64_t offset, unsigned, uint64_t value) {
            if (offset == 0) {
              index_ = static_cast<uint8_t>(value);
            }
          },
          sim::kW8)) {
  bus.MapFixed(sim::Space::Io, kIndexPort, &ports_);
}

ChipRig::ChipRig(const sim::ChipConfig &config)
    : chip(machine.bus, config), crtc(machine.bus, [this] {
        return static_cast<uint8_t>(chip.HostReadsStartupState() | crtc_low_bits);
      }) {
  machine.bus.MapFixed(sim::Space::Memory, kMmioBase, &chip.Bar1Region());
  state.MmioBase = kMmioBase;
}

ChipRig::~ChipRig() { machine.bus.SetTrace(nullptr); }

void ChipRig::StartTrace() { machine.bus.SetTrace(&trace_); }

std::vector<std::string> ChipRig::TraceLines() const {
  std::vector<std::string> lines;
  std::istringstream in(trace_text_.str());
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<ChipAccess> ChipRig::Accesses() const {
  using namespace sim::chipreg;
  std::vector<ChipAccess> out;
  uint32_t page = 0;
  for (const std::string &text : TraceLines()) {
    const nlohmann::json line = nlohmann::json::parse(text);
    const uint64_t addr = std::stoull(line["addr"].get<std::string>(), nullptr, 16);
    const uint32_t value =
        static_cast<uint32_t>(std::stoull(line["value"].get<std::string>(), nullptr, 16));
    if (line["kind"] == "service") {
      if (line["op"] == "Stall") {
        out.push_back({'s', 0, static_cast<uint32_t>(addr)});
      }
      continue;
    }
    if (line["kind"] != "mmio" || addr < kMmioBase || addr >= kMmioBase + kWindowBarSize) {
      continue;
    }
    const uint64_t offset = addr - kMmioBase;
    const char op = line["op"].get<std::string>()[0];
    if (offset == kWindowBase && op == 'w') {
      page = value;
    } else if (offset >= kWindowAperture) {
      out.push_back({op, page + static_cast<uint32_t>(offset - kWindowAperture), value});
    }
  }
  return out;
}

size_t ChipRig::Count(char op, uint32_t addr, int64_t value) const {
  size_t n = 0;
  for (const ChipAccess &a : Accesses()) {
    n += a.op == op && a.addr == addr && (value < 0 || a.value == static_cast<uint32_t>(value));
  }
  return n;
}

sim::ChipConfig ChipConfigFrom(const std::string &json) {
  sim::Scenario s = sim::ParseScenario(nlohmann::json::parse(json), "test.json", ".");
  return sim::ParseChipConfig(s);
}

} // namespace test
