#include "sim/core/cpu_model.h"

namespace sim {

CpuidResult CpuModel::Cpuid(uint32_t leaf, uint32_t subLeaf) const {
  auto it = cpuid_.find({leaf, subLeaf});
  if (it == cpuid_.end()) {
    it = cpuid_.find({leaf, kAnySubLeaf});
  }
  if (it == cpuid_.end()) {
    it = cpuid_.find({leaf, 0}); // CPUID without a sub-leaf: a leaf's sub-leaf 0 answers
  }
  return it == cpuid_.end() ? CpuidResult{0, 0, 0, 0} : it->second;
}

uint64_t CpuModel::ReadTsc() const {
  return static_cast<uint64_t>(static_cast<unsigned __int128>(clock_.NowNs()) * tsc_hz_ /
                               1'000'000'000u);
}

void CpuModel::Pause() {
  ++pauses_;
  clock_.Advance(kPauseNs);
}

} // namespace sim
