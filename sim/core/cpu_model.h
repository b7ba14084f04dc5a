// The boot processor as the access layer's CPU primitives see it: a CPUID table, a time-stamp
// counter that runs with virtual time, the interrupt flag, and the word below the IDT base in
// which the PEI core keeps its services pointer.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "access/cpu.h"
#include "sim/core/clock.h"

namespace sim {

class CpuModel {
public:
  static constexpr uint32_t kAnySubLeaf = 0xFFFFFFFF;
  // PAUSE: a few dozen cycles on current cores; charged so that spin loops advance time.
  static constexpr uint64_t kPauseNs = 10;

  explicit CpuModel(Clock &clock) : clock_(clock) {}

  // Sets what CPUID returns for a leaf; kAnySubLeaf answers every sub-leaf without its own entry.
  void SetCpuid(uint32_t leaf, uint32_t subLeaf, CpuidResult regs) {
    cpuid_[{leaf, subLeaf}] = regs;
  }
  CpuidResult Cpuid(uint32_t leaf, uint32_t subLeaf) const;

  void SetTscHz(uint64_t hz) { tsc_hz_ = hz; }
  uint64_t TscHz() const { return tsc_hz_; }
  uint64_t ReadTsc() const;

  bool InterruptsEnabled() const { return interrupts_enabled_; }
  void SetInterruptsEnabled(bool on) { interrupts_enabled_ = on; }

  void Pause();
  uint64_t PauseCount() const { return pauses_; }

  uintptr_t PeiServicesSlot() const { return pei_services_slot_; }
  void SetPeiServicesSlot(uintptr_t value) { pei_services_slot_ = value; }

private:
  Clock &clock_;
  std::map<std::pair<uint32_t, uint32_t>, CpuidResult> cpuid_;
  uint64_t tsc_hz_ = 2'000'000'000;
  bool interrupts_enabled_ = false; // firmware runs with interrupts off
  uint64_t pauses_ = 0;
  uintptr_t pei_services_slot_ = 0;
};

} // namespace sim
