// How often each address that no leaf decoded was accessed, for the bus's report. At most kMaxKept
// distinct addresses are kept; a kept one goes on counting. An open-addressing table in one block:
// a lying device can make every frame-buffer write go unclaimed, and a node per address, allocated
// and freed per board, cost more than the run it counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

class UnclaimedCounts {
public:
  static constexpr size_t kMaxKept = 4096;
  struct Entry {
    uint64_t addr = 0;
    uint64_t count = 0;
    uint32_t where = 0; // the caller's tag (whose decode the access reached)
    int8_t space = -1;  // -1: a free slot
  };

  // `count` accesses at addr, addr + width, ... of `space` (0 or 1).
  void Add(int space, uint64_t addr, unsigned width, uint64_t count, uint32_t where);
  size_t Size() const { return size_; }
  // The kept entries, in no particular order (free slots have space -1).
  const std::vector<Entry> &Slots() const { return slots_; }

private:
  static constexpr size_t kMaxSlots = 2 * kMaxKept; // at most half full
  Entry *Find(int space, uint64_t addr);
  Entry *Insert(int space, uint64_t addr, uint32_t where);
  size_t Home(int space, uint64_t addr) const;
  void Grow();

  std::vector<Entry> slots_;
  size_t size_ = 0;
};

} // namespace sim
