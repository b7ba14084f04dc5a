// A bank of byte-addressed registers whose access rules are data: each register has a power-on
// value, a write mask (bits software can change; the rest are read-only), a write-1-to-clear
// mask, and optional hooks for side effects (a read that returns live state or changes it, a
// write that recomputes what a device decodes). Ranges can be locked by a condition (a
// write-protect bit), ignoring writes and optionally reading as zero, or by a key register: the
// registers it protects take writes only while the key register holds the unlocking value.
// Write hooks run only for writes a lock did not drop. Undefined bytes read 0 and ignore writes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/core/region.h"

namespace sim {

class RegisterFile {
public:
  struct Rule {
    uint32_t offset;
    unsigned width; // 1, 2, 4 or 8 bytes
    uint64_t reset = 0;
    uint64_t write_mask = 0;
    uint64_t w1c_mask = 0;
  };
  // Returns the value a guest read sees, given the stored value; may change model state.
  using ReadHook = std::function<uint64_t(uint64_t stored)>;
  // Runs after a guest write a lock did not drop (stored values before and after).
  using WriteHook = std::function<void(uint64_t before, uint64_t after)>;
  // What a locked range does: ignore guest writes, and optionally read as zeros or as all ones (a
  // function hidden from configuration space).
  enum class LockMode : uint8_t { IgnoreWrites, IgnoreWritesReadZero, IgnoreWritesReadOnes };
  // A protection key. The key register (defined before, and outside [first, last]) stores what
  // is written to it; the block is unlocked while that is `unlock` and reads `reads_unlocked`,
  // otherwise it reads `reads_locked` and guest writes to [first, last] are ignored (and read 0
  // in IgnoreWritesReadZero mode). While *never_unlocks is true no value unlocks it.
  struct Key {
    uint32_t offset;
    unsigned width;
    uint64_t unlock;
    uint64_t reads_unlocked;
    uint64_t reads_locked;
    uint32_t first, last;
    LockMode mode = LockMode::IgnoreWrites;
    const bool *never_unlocks = nullptr;
  };

  explicit RegisterFile(uint32_t size);

  RegisterFile &Define(const Rule &rule);
  // Defines `count` registers of `width` from `offset` with the same rule.
  RegisterFile &DefineRange(uint32_t offset, uint32_t count, unsigned width, uint64_t reset,
                            uint64_t writeMask);
  RegisterFile &OnRead(uint32_t offset, ReadHook hook);
  RegisterFile &OnWrite(uint32_t offset, WriteHook hook);
  // While locked() is true, guest writes to [first, last] are ignored (and reads of it give 0 or
  // all ones in the modes that say so, whether or not a register is defined there; a read hook
  // still runs).
  RegisterFile &Lock(uint32_t first, uint32_t last, std::function<bool()> locked,
                     LockMode mode = LockMode::IgnoreWrites);
  RegisterFile &Protect(const Key &key);
  // Whether the key whose register is at `keyOffset` currently unlocks its range.
  bool Unlocked(uint32_t keyOffset) const;

  void Reset();

  // Guest side: rules and hooks apply. An access must lie within the file (see Fits).
  uint64_t Read(uint32_t offset, unsigned width);
  void Write(uint32_t offset, unsigned width, uint64_t value);
  bool Fits(uint64_t offset, unsigned width) const {
    return width != 0 && offset < size_ && width <= size_ - offset;
  }

  // A bus leaf over the whole file for `owner`: guest accesses of the accepted widths go to
  // Read/Write; one that runs past the file's end is a guest error of the owner (all ones on
  // read, write dropped).
  Region Leaf(Device *owner, std::string name, uint8_t widths = kWAny);

  // Model side: raw stored bytes, no rules, no hooks.
  uint64_t Get(uint32_t offset, unsigned width) const;
  void Set(uint32_t offset, unsigned width, uint64_t value);
  void SetWriteMask(uint32_t offset, unsigned width, uint64_t mask);
  uint32_t Size() const { return size_; }

private:
  struct Reg {
    uint32_t offset;
    unsigned width;
    ReadHook read;
    WriteHook write;
    int32_t key = -1; // index into keys_ when this is a key register
  };
  struct LockRange {
    uint32_t first, last;
    std::function<bool()> locked; // unset for a key's range
    LockMode mode;
    int32_t key = -1; // index into keys_ for a key's range
  };
  // What one guest access has learnt of the locks: each condition is asked at most once per
  // access (a register's bytes usually share a lock, and conditions may be costly).
  struct LockMemo {
    static constexpr size_t kCapacity = 16;
    uint8_t state[kCapacity] = {}; // 0 not asked yet, 1 open, 2 locked
  };
  Reg &RegAt(uint32_t offset, unsigned width);
  Reg &DefinedAt(uint32_t offset, const char *what);
  bool KeyOpen(const Key &key) const;
  bool Locked(const LockRange &lock) const;
  const LockRange *LockOf(uint32_t offset, LockMemo &memo) const;

  // Stored up to the last byte defined or set (a configuration space defines a few hundred of its
  // 4 KiB); bytes past that are undefined: they read 0 and ignore writes.
  void Cover(uint32_t end);
  static constexpr size_t kMinStored = 256;
  uint32_t size_;
  std::vector<uint8_t> value_, reset_, write_mask_, w1c_mask_;
  std::vector<int32_t> reg_of_byte_; // index into regs_, or -1
  std::vector<Reg> regs_;
  std::vector<LockRange> locks_;
  std::vector<Key> keys_;
  bool any_read_lock_ = false; // reads need not look at locks without one that changes them
};

} // namespace sim
