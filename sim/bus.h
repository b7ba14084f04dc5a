// The board's two address spaces: 16-bit I/O ports and 32-bit physical memory. Device models map
// the ranges they decode, each with a read and a write handler taking the offset into the range.
// Unclaimed reads return all ones and unclaimed writes are dropped; an access wider or narrower
// than its region accepts is a guest error (read as all ones, write dropped). Every access costs
// virtual time and is counted, and can be traced.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/trace.h"

namespace sim {

enum class Space : uint8_t { Io, Memory };

// Access widths a region accepts, as a mask of byte counts.
enum Widths : uint8_t { kW8 = 1, kW16 = 2, kW32 = 4, kW64 = 8, kWAny = 15 };

using ReadHandler = std::function<uint64_t(uint64_t offset, unsigned width)>;
using WriteHandler = std::function<void(uint64_t offset, unsigned width, uint64_t value)>;

struct AccessCounts {
  uint64_t reads = 0;
  uint64_t writes = 0;
};

struct BusCounts {
  AccessCounts io;
  AccessCounts mmio;
  uint64_t unclaimed = 0;    // accesses no region decodes
  uint64_t guest_errors = 0; // accesses of a width the region does not accept, or refused
};

class Bus {
public:
  static constexpr uint64_t kIoSpaceSize = 0x10000;
  static constexpr uint64_t kMemorySpaceSize = 0x100000000ull;

  explicit Bus(Clock &clock) : clock_(clock) {}

  // Maps [base, base + size) in `space`. Overlapping an existing region is a board-assembly error
  // and throws std::logic_error. Returns an id for Unmap.
  int Map(Space space, uint64_t base, uint64_t size, std::string name, ReadHandler read,
          WriteHandler write, uint8_t widths = kWAny);
  void Unmap(int id);

  uint64_t Read(Space space, uint64_t addr, unsigned width);
  void Write(Space space, uint64_t addr, unsigned width, uint64_t value);

  // A model's report of an access its hardware refuses (a write to read-only memory).
  void CountGuestError() { counts_.guest_errors++; }

  // Records a service call in the trace (no bus cost).
  void RecordService(std::string_view name, uint64_t arg = 0, uint64_t value = 0);

  void SetCostModel(const CostModel &cost) { cost_ = cost; }
  const CostModel &Cost() const { return cost_; }
  void SetTrace(Trace *trace) { trace_ = trace; }
  const BusCounts &Counts() const { return counts_; }
  Clock &GetClock() { return clock_; }

  // Name of the region decoding `addr`, or empty.
  std::string RegionName(Space space, uint64_t addr) const;

private:
  struct Region {
    int id;
    Space space;
    uint64_t base;
    uint64_t size;
    std::string name;
    ReadHandler read;
    WriteHandler write;
    uint8_t widths;
    bool unmapped = false;
  };
  const Region *Find(Space space, uint64_t addr, unsigned width) const;
  void Charge(Space space, bool write, uint64_t addr, unsigned width, uint64_t value);

  Clock &clock_;
  CostModel cost_;
  Trace *trace_ = nullptr;
  BusCounts counts_;
  // Regions are held by pointer and unmapped lazily, so a handler may map or unmap regions (a BAR
  // write moving a decode window) while the bus is still dispatching to it.
  std::vector<std::unique_ptr<Region>> regions_;
  int dispatch_depth_ = 0;
  bool unmap_pending_ = false;
  void EraseUnmapped();
  int next_id_ = 1;
};

} // namespace sim
