// The device accesses of a run, kept in memory: I/O, and memory outside flash. Service calls and
// flash reads (the module's own code and volumes) are left out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/core/trace.h"
#include "sim/devices/memory/flash.h"

namespace test {

struct Access {
  char kind; // 'i' I/O, 'm' memory
  char op;   // 'r', 'w'
  uint64_t address;
  unsigned width;
  uint64_t value;
  bool operator==(const Access &) const = default;
};

inline std::string Describe(const Access &a) {
  char text[96];
  std::snprintf(text, sizeof text, "%s %s 0x%llX width %u value 0x%llX",
                a.kind == 'i' ? "io" : "mmio", a.op == 'r' ? "read" : "write",
                static_cast<unsigned long long>(a.address), a.width,
                static_cast<unsigned long long>(a.value));
  return text;
}
inline void PrintTo(const Access &a, std::ostream *out) { *out << Describe(a); }

class AccessLog final : public sim::Trace {
public:
  AccessLog() : sim::Trace(sink_) {}
  void Record(double, std::string_view kind, std::string_view op, uint64_t addr, unsigned width,
              uint64_t value, std::string_view) override {
    if (kind == "service" || (kind == "mmio" && addr >= sim::FlashDevice::kBase)) {
      return;
    }
    accesses.push_back({kind == "io" ? 'i' : 'm', op[0], addr, width, value});
  }
  std::vector<Access> accesses;

private:
  std::ostringstream sink_;
};

} // namespace test
