#include "sim/trace.h"

#include <nlohmann/json.hpp>

namespace sim {

void Trace::Record(double t_us, std::string_view kind, std::string_view op, uint64_t addr,
                   unsigned width, uint64_t value) {
  nlohmann::json line = {{"t_us", t_us}, {"kind", kind},   {"op", op},
                         {"addr", addr}, {"width", width}, {"value", value}};
  out_ << line.dump() << '\n';
}

} // namespace sim
