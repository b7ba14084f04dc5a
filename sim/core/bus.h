// The board's two address spaces as the processor sees them: 16-bit I/O ports and 32-bit
// physical memory. Each is the root of a decode tree (sim/core/region.h) into which the board
// places its devices: fixed leaves (flash, the configuration-mechanism ports), and the host's
// windows onto PCI buses whose bridges and BARs move their own regions. The bus flattens each
// tree after a change and answers every access by address:
//   - a leaf decodes it; a width the leaf does not accept is a guest error of its device (read
//     as all ones, write dropped);
//   - no leaf decodes it: unclaimed, all ones on read, write dropped, counted on the device whose
//     decode it reached (a bridge's secondary side) or on the bus itself.
// Every access costs virtual time, is counted (in total and per device), and can be traced with
// the name of the device that decoded it.
// Between the decode tree and the devices sit two hooks that leave every model honest: a read
// interposer that may replace the value any device answers (models that answer outside the bus,
// configuration space and the BMC, consult it too), and observers that see every access once it
// is complete (an invariant monitor).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/core/clock.h"
#include "sim/core/device.h"
#include "sim/core/region.h"
#include "sim/core/trace.h"
#include "sim/core/unclaimed_counts.h"

namespace sim {

enum class Space : uint8_t { Io, Memory };

struct AccessCounts {
  uint64_t reads = 0;
  uint64_t writes = 0;
};

struct BusCounts {
  AccessCounts io;
  AccessCounts mmio;
  uint64_t unclaimed = 0;    // accesses no leaf decodes
  uint64_t guest_errors = 0; // accesses a device rejects
};

// Transfers to and from memory-like devices (frame buffer, flash): the part of a boot's bus
// traffic whose transaction width is the module's choice.
struct BulkCounts {
  uint64_t reads = 0, writes = 0;
  uint64_t read_bytes = 0, write_bytes = 0;
  uint64_t read_ns = 0, write_ns = 0;
};

// An address nothing decoded, with how often.
struct UnclaimedAccess {
  Space space;
  uint64_t addr;
  std::string where; // the device whose decode it reached, or "host"
  uint64_t count;
};

// A value a device is about to hand the processor.
enum class ReadPath : uint8_t { Io, Memory, Config, Ipmi };
struct DeviceRead {
  ReadPath path;
  const Device *device; // the model answering; null for a leaf the bus owns
  uint64_t addr;        // port, physical address, configuration register or answer byte index
  unsigned width;       // bytes
};

class ReadInterposer {
public:
  virtual ~ReadInterposer() = default;
  // What the processor receives instead of `honest` (masked to the read's width by the caller).
  virtual uint64_t Answer(const DeviceRead &read, uint64_t honest) = 0;
};

class AccessObserver {
public:
  virtual ~AccessObserver() = default;
  // A completed access; `decoder` is the device whose leaf decoded it, null when none did.
  virtual void Observe(Space space, bool write, uint64_t addr, unsigned width, uint64_t value,
                       const Device *decoder) = 0;
  // `count` completed writes of `value` at addr, addr + width, ..., all decoded by `decoder`:
  // by default one Observe each, in order.
  virtual void ObserveFill(Space space, uint64_t addr, unsigned width, uint64_t count,
                           uint64_t value, const Device *decoder) {
    for (uint64_t i = 0; i < count; ++i) {
      Observe(space, true, addr + i * width, width, value, decoder);
    }
  }
};

class Bus {
public:
  static constexpr uint64_t kIoSpaceSize = 0x10000;
  static constexpr uint64_t kMemorySpaceSize = 0x100000000ull;
  static constexpr int kFixedPriority = 100; // fixed leaves win over windows onto PCI

  explicit Bus(Clock &clock);
  ~Bus();
  Bus(const Bus &) = delete;
  Bus &operator=(const Bus &) = delete;

  // The root container of a space: board assembly places regions here.
  Region &Root(Space space) { return space == Space::Io ? io_root_ : memory_root_; }

  // Places a fixed leaf at `base` of a space. Two fixed leaves that overlap are a board-assembly
  // error (std::logic_error).
  void MapFixed(Space space, uint64_t base, Region *leaf);

  // A leaf owned by the bus, for tests and simple fixtures; Unmap may run inside its own handler.
  int Map(Space space, uint64_t base, uint64_t size, std::string name, ReadHandler read,
          WriteHandler write, uint8_t widths = kWAny);
  void Unmap(int id);

  uint64_t Read(Space space, uint64_t addr, unsigned width);
  void Write(Space space, uint64_t addr, unsigned width, uint64_t value);
  // `count` writes of `value` at addr, addr + width, ...: what as many Write calls do (decode,
  // device effects, counts, virtual time, observers), with one decode per range of the flat view
  // rather than one per write. With a trace attached the writes go one at a time, so the trace
  // lists each.
  void Fill(Space space, uint64_t addr, unsigned width, uint64_t count, uint64_t value);

  // The value the processor receives for a device's answer: the interposer's, when one is set.
  uint64_t Answer(const DeviceRead &read, uint64_t honest);
  void SetReadInterposer(ReadInterposer *interposer) { interposer_ = interposer; }
  void AddObserver(AccessObserver *observer) { observers_.push_back(observer); }
  void RemoveObserver(AccessObserver *observer) { std::erase(observers_, observer); }

  // The platform's fixed ranges that no window or BAR may cover: every fixed leaf, and in memory
  // everything from kPlatformFixedBase up (I/O APIC, HPET, TPM, local APIC, boot flash). Returns
  // the name of what [base, base + size) overlaps, or empty.
  static constexpr uint64_t kPlatformFixedBase = 0xFEC00000;
  std::string FixedConflict(Space space, uint64_t base, uint64_t size) const;

  // Records a service call or an event marker in the trace (no bus cost).
  void RecordService(std::string_view name, uint64_t arg = 0, uint64_t value = 0);

  void SetCostModel(const CostModel &cost) { cost_ = cost; }
  const CostModel &Cost() const { return cost_; }
  void SetTrace(Trace *trace) { trace_ = trace; }
  Trace *GetTrace() const { return trace_; }
  const BusCounts &Counts() const { return counts_; }
  const BulkCounts &Bulk() const { return bulk_; }
  Clock &GetClock() { return clock_; }

  // Name of the leaf decoding `addr` (its device's name when it has one), or empty.
  std::string RegionName(Space space, uint64_t addr);
  // The devices on this bus, in registration order; ResetDevices() powers them all on.
  const std::vector<Device *> &Devices() const { return devices_; }
  void ResetDevices();
  // Unclaimed addresses, grouped (at most kMaxUnclaimedKept distinct ones are kept).
  std::vector<UnclaimedAccess> Unclaimed() const;
  static constexpr size_t kMaxUnclaimedKept = UnclaimedCounts::kMaxKept;

private:
  friend class Device;
  void Register(Device *device) { devices_.push_back(device); }
  void Unregister(Device *device);

  const FlatRange *Lookup(Space space, uint64_t addr);
  uint64_t Dispatch(Space space, bool write, uint64_t addr, unsigned width, uint64_t value);
  void Charge(Space space, bool write, uint64_t addr, unsigned width, uint64_t value,
              const std::string *where);
  void CountBulk(bool write, unsigned width, uint64_t count = 1);
  // The writes of a fill that lie whole in the range holding `addr`, done at once; how many.
  uint64_t FillRange(Space space, uint64_t addr, unsigned width, uint64_t count, uint64_t value);
  // `count` accesses at addr, addr + width, ... that no leaf decodes.
  void CountUnclaimed(Space space, uint64_t addr, unsigned width, uint64_t count,
                      const FlatRange *range);
  uint32_t UnclaimedWhere(const Device *owner);
  void EraseUnmapped();

  Clock &clock_;
  CostModel cost_;
  Trace *trace_ = nullptr;
  ReadInterposer *interposer_ = nullptr;
  std::vector<AccessObserver *> observers_;
  BusCounts counts_;
  BulkCounts bulk_;
  Region io_root_;
  Region memory_root_;
  FlatView io_view_;
  FlatView memory_view_;
  std::vector<Device *> devices_;
  struct Fixed {
    Space space;
    uint64_t base, size;
    const Region *leaf;
    const Device *owner; // its entry goes when the device does
  };
  std::vector<Fixed> fixed_;
  struct Mapped {
    int id;
    std::unique_ptr<Region> region;
    bool unmapped = false;
  };
  std::vector<Mapped> mapped_;
  int next_id_ = 1;
  int dispatch_depth_ = 0;
  bool unmap_pending_ = false;
  UnclaimedCounts unclaimed_;
  std::vector<std::string> unclaimed_where_; // the few names unclaimed accesses are counted on
};

} // namespace sim
