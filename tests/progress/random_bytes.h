// Reproducible pseudo-random input bytes for the hostile-hardware tests (xorshift32 per seed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace test {

inline std::vector<uint8_t> RandomBytes(uint32_t seed, size_t n) {
  std::vector<uint8_t> bytes(n);
  uint32_t x = seed * 2654435761u + 1;
  for (uint8_t &b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return bytes;
}

} // namespace test
