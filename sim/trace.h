// Optional record of every bus access and service call, one JSON object per line.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

namespace sim {

class Trace {
public:
  explicit Trace(std::ostream &out) : out_(out) {}
  virtual ~Trace() = default;
  // kind: "io", "mmio" or "service"; op: "r", "w" or the service's name. A recorder that keeps
  // the accesses in memory overrides it.
  virtual void Record(double t_us, std::string_view kind, std::string_view op, uint64_t addr,
                      unsigned width, uint64_t value);

private:
  std::ostream &out_;
};

} // namespace sim
