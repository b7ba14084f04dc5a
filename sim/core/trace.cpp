#include "sim/core/trace.h"
#include "sim/core/hex_text.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace sim {

namespace {
std::string Quoted(std::string_view s) { return nlohmann::json(s).dump(); }
} // namespace

// Written by hand, keys in the order a JSON object dumps them: a boot writes a line per access.
void Trace::Record(double t_us, std::string_view kind, std::string_view op, uint64_t addr,
                   unsigned width, uint64_t value, std::string_view device) {
  const bool access = kind != "service";
  std::string line = "{\"addr\":\"" + Hex(addr) + "\"";
  if (access) {
    line += ",\"device\":" + Quoted(device);
  }
  line += ",\"kind\":" + Quoted(kind) + ",\"op\":" + Quoted(op) +
          ",\"t_us\":" + nlohmann::json(t_us).dump() + ",\"value\":\"" + Hex(value) + "\"";
  if (access) {
    line += ",\"width\":" + std::to_string(width);
  }
  line += "}\n";
  out_ << line;
}

void Trace::Event(double t_us, std::string_view name) {
  nlohmann::json line = {{"t_us", t_us}, {"kind", "event"}, {"name", name}};
  out_ << line.dump() << '\n';
}

} // namespace sim
