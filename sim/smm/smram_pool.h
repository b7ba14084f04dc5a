// SMM pool in host memory: one arena that the SMM core reports as SMRAM, allocations tracked
// so a test can see leaks, double frees and frees of memory the pool never handed out.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "uefi/pi_smm.h"

namespace sim {

struct PoolCounts {
  uint64_t allocated = 0; // successful allocations
  uint64_t freed = 0;     // successful frees
  uint64_t bad_frees = 0; // double frees and frees of foreign pointers
  uint64_t failed = 0;    // allocations refused
};

class SmramPool {
public:
  static constexpr size_t kArenaBytes = 256 * 1024;
  static constexpr size_t kAlignment = 16;

  SmramPool();

  EFI_STATUS Allocate(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer);
  EFI_STATUS Free(VOID *buffer);

  uint64_t ArenaBase() const { return reinterpret_cast<uintptr_t>(arena_.data()); }
  uint64_t ArenaSize() const { return arena_.size() * sizeof(uint64_t); }
  bool Live(const VOID *buffer) const;
  size_t LiveCount() const { return live_.size(); }
  const PoolCounts &Counts() const { return counts_; }

  bool fail_allocations = false; // a test's fault: every allocation fails

private:
  std::vector<uint64_t> arena_;
  size_t next_ = 0;
  std::map<uintptr_t, size_t> live_;
  PoolCounts counts_;
};

} // namespace sim
