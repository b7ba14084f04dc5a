#include "sim/core/machine.h"

#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {
Machine *current = nullptr;
} // namespace

Machine::Machine() {
  if (current != nullptr) {
    std::fprintf(stderr, "sim: a second machine was created while one is current\n");
    std::abort();
  }
  current = this;
}

Machine::~Machine() { current = nullptr; }

Machine &Machine::Current() {
  if (current == nullptr) {
    std::fprintf(stderr, "sim: hardware access with no simulated machine\n");
    std::abort();
  }
  return *current;
}

} // namespace sim
