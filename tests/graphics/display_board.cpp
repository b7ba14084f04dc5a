#include "tests/graphics/display_board.h"

namespace test {

namespace {
uint64_t Hex(const nlohmann::json &v) { return std::stoull(v.get<std::string>(), nullptr, 16); }
} // namespace

std::vector<BusEvent> DisplayBoard::Events() {
  std::vector<BusEvent> events;
  std::string line;
  while (std::getline(text_, line)) {
    if (line.find(R"("kind":"mmio")") != std::string::npos) {
      events.push_back({BusEvent::Other});
      continue;
    }
    const nlohmann::json r = nlohmann::json::parse(line);
    if (r["kind"] == "service") {
      if (r["op"] == "Stall") {
        events.push_back(StallOf(Hex(r["addr"])));
      }
      continue;
    }
    if (r["kind"] != "io") {
      events.push_back({BusEvent::Other});
      continue;
    }
    const uint64_t port = Hex(r["addr"]);
    const bool write = r["op"] == "w";
    if (port == 0xCF8 && write) {
      config_address_ = static_cast<uint32_t>(Hex(r["value"]));
    } else if (port >= 0xCFC && port <= 0xCFF && write) {
      events.push_back(ConfigWriteOf(static_cast<uint8_t>(config_address_ >> 16),
                                     (config_address_ >> 11) & 31, (config_address_ >> 8) & 7,
                                     static_cast<uint16_t>((config_address_ & 0xFC) | (port & 3)),
                                     Hex(r["value"])));
    } else if (port >= 0x3B0 && port <= 0x3DF) {
      events.push_back({BusEvent::VgaPort, 0, 0, 0, 0, port, write});
    } else {
      events.push_back({BusEvent::Other});
    }
  }
  text_.clear();
  return events;
}

std::vector<BusEvent> ConfigWritesAndStalls(const std::vector<BusEvent> &events) {
  std::vector<BusEvent> out;
  for (const BusEvent &e : events) {
    if (e.kind == BusEvent::ConfigWrite || e.kind == BusEvent::Stall) {
      out.push_back(e);
    }
  }
  return out;
}

bool TouchesVgaPorts(const std::vector<BusEvent> &events) {
  for (const BusEvent &e : events) {
    if (e.kind == BusEvent::VgaPort) {
      return true;
    }
  }
  return false;
}

} // namespace test
