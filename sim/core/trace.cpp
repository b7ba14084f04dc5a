#include "sim/core/trace.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace sim {

namespace {
std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}
} // namespace

void Trace::Record(double t_us, std::string_view kind, std::string_view op, uint64_t addr,
                   unsigned width, uint64_t value, std::string_view device) {
  nlohmann::json line = {{"t_us", t_us}, {"kind", kind}, {"op", op}, {"addr", Hex(addr)}};
  if (kind != "service") {
    line["width"] = width;
    line["device"] = device;
  }
  line["value"] = Hex(value);
  out_ << line.dump() << '\n';
}

void Trace::Event(double t_us, std::string_view name) {
  nlohmann::json line = {{"t_us", t_us}, {"kind", "event"}, {"name", name}};
  out_ << line.dump() << '\n';
}

} // namespace sim
