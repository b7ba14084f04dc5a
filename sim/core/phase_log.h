// Where the virtual time of a boot goes: a tree of named phases (a module function's call, a core
// service), each with its virtual time, stall time and bus counts, and the floor of its time under
// the cost model (what it would cost if every memory-like transfer it made, to the frame buffer or
// from flash, moved four bytes per transaction and everything else stayed as it was).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/core/bus.h"

namespace sim {

struct PhaseCounts {
  uint64_t ns = 0, stall_ns = 0;
  AccessCounts io, mmio;
  BulkCounts bulk;
};

struct Phase {
  std::string name;
  uint64_t start_ns = 0;
  PhaseCounts spent; // over the whole phase, children included
  std::vector<Phase> children;

  // Least time this phase could take: its time less its memory-like transfers, plus one
  // transaction per four bytes of them at the cost model's prices.
  uint64_t FloorNs(const CostModel &cost) const;
};

class PhaseLog {
public:
  // `stallNs` reads the stall time spent so far (the core's Stall service keeps it).
  PhaseLog(Bus &bus, std::function<uint64_t()> stallNs);
  ~PhaseLog();
  PhaseLog(const PhaseLog &) = delete;
  PhaseLog &operator=(const PhaseLog &) = delete;

  // The log of the board being booted, or null.
  static PhaseLog *Current();

  void Begin(std::string name);
  void End(); // ends the innermost open phase; without one, nothing

  // Finished top-level phases, in order.
  const std::vector<Phase> &Phases() const { return roots_; }
  // The whole boot so far, as one phase's counts.
  PhaseCounts Total() const;
  uint64_t FloorNs(const PhaseCounts &spent) const;

private:
  PhaseCounts Now() const;

  Bus &bus_;
  std::function<uint64_t()> stall_ns_;
  std::vector<Phase> roots_;
  struct Open {
    Phase phase;
    PhaseCounts at_start;
  };
  std::vector<Open> open_;
  PhaseLog *previous_;
};

// Opens a phase on the current log for the scope's lifetime.
class PhaseScope {
public:
  explicit PhaseScope(const char *name);
  ~PhaseScope();
  PhaseScope(const PhaseScope &) = delete;
  PhaseScope &operator=(const PhaseScope &) = delete;

private:
  PhaseLog *log_;
};

} // namespace sim
