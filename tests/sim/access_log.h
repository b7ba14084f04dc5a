// The device accesses of a run: I/O, and memory outside flash. Service calls and flash reads (the
// module's own code and volumes) are left out. Every access is counted and folded into a digest;
// the accesses themselves are kept only when asked, since a hang board makes tens of millions.
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

// Order-sensitive digest of an access sequence: two runs with the same count and digest made the
// same accesses (a 64-bit mix per access; a differing run is found again with the accesses kept).
struct AccessDigest {
  uint64_t count = 0;
  uint64_t hash = 0x9E3779B97F4A7C15ull;
  void Add(const Access &a) {
    ++count;
    for (uint64_t word :
         {uint64_t(a.kind) << 8 | uint64_t(a.op) | uint64_t(a.width) << 16, a.address, a.value}) {
      hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
      hash ^= hash >> 32;
    }
  }
  bool operator==(const AccessDigest &) const = default;
};

class AccessLog final : public sim::Trace {
public:
  explicit AccessLog(bool keep = true) : sim::Trace(sink_), keep_(keep) {}
  void Record(double, std::string_view kind, std::string_view op, uint64_t addr, unsigned width,
              uint64_t value, std::string_view) override {
    if (kind == "service" || (kind == "mmio" && addr >= sim::FlashDevice::kBase)) {
      return;
    }
    const Access a{kind == "io" ? 'i' : 'm', op[0], addr, width, value};
    digest.Add(a);
    if (keep_) {
      accesses.push_back(a);
    }
  }
  std::vector<Access> accesses; // empty unless kept
  AccessDigest digest;

private:
  bool keep_;
  std::ostringstream sink_;
};

} // namespace test
