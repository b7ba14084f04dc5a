// Addresses and register values as reports and messages print them: "0x" and upper-case hex.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sim {

inline std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

// At least `digits` hex digits, zero-padded.
inline std::string Hex(uint64_t v, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(v));
  return text;
}

} // namespace sim
