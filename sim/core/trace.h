// Optional record of every bus access, service call and event, one JSON object per line:
// {"t_us", "kind" ("io", "mmio", "service", "event"), "op" ("r", "w" or the service's name),
//  "addr" and "value" in hex, "width", "device" (the model that decoded the access, or "host")}.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

namespace sim {

class Trace {
public:
  explicit Trace(std::ostream &out) : out_(out) {}
  virtual ~Trace() = default;
  // A recorder that keeps accesses in memory overrides it.
  virtual void Record(double t_us, std::string_view kind, std::string_view op, uint64_t addr,
                      unsigned width, uint64_t value, std::string_view device);
  // An event marker (a PPI installed by the platform, a phase starting).
  void Event(double t_us, std::string_view name);
  bool Failed() const { return !out_.good(); }

private:
  std::ostream &out_;
};

} // namespace sim
