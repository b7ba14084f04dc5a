// A bank of byte-addressed registers whose access rules are data: each register has a power-on
// value, a write mask (bits software can change; the rest are read-only), a write-1-to-clear
// mask, and optional hooks for side effects (a read that returns live state or changes it, a
// write that recomputes what a device decodes). Ranges can be locked by a condition (a
// write-protect bit, a key register), ignoring writes and optionally reading as zero.
// Undefined bytes read 0 and ignore writes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
  // Runs after every guest write that touches the register (stored values before and after).
  using WriteHook = std::function<void(uint64_t before, uint64_t after)>;
  enum class LockMode : uint8_t { IgnoreWrites, IgnoreWritesReadZero };

  explicit RegisterFile(uint32_t size);

  RegisterFile &Define(const Rule &rule);
  // Defines `count` registers of `width` from `offset` with the same rule.
  RegisterFile &DefineRange(uint32_t offset, uint32_t count, unsigned width, uint64_t reset,
                            uint64_t writeMask);
  RegisterFile &OnRead(uint32_t offset, ReadHook hook);
  RegisterFile &OnWrite(uint32_t offset, WriteHook hook);
  // While locked() is true, guest writes to [first, last] are ignored (and reads give 0 in
  // IgnoreWritesReadZero mode).
  RegisterFile &Lock(uint32_t first, uint32_t last, std::function<bool()> locked,
                     LockMode mode = LockMode::IgnoreWrites);

  void Reset();

  // Guest side: rules and hooks apply.
  uint64_t Read(uint32_t offset, unsigned width);
  void Write(uint32_t offset, unsigned width, uint64_t value);

  // Model side: raw stored bytes, no rules, no hooks.
  uint64_t Get(uint32_t offset, unsigned width) const;
  void Set(uint32_t offset, unsigned width, uint64_t value);
  void SetWriteMask(uint32_t offset, unsigned width, uint64_t mask);
  uint32_t Size() const { return static_cast<uint32_t>(value_.size()); }

private:
  struct Reg {
    uint32_t offset;
    unsigned width;
    ReadHook read;
    WriteHook write;
  };
  struct LockRange {
    uint32_t first, last;
    std::function<bool()> locked;
    LockMode mode;
  };
  // What one guest access has learnt of the locks: each condition is asked at most once per
  // access (a register's bytes usually share a lock, and conditions may be costly).
  struct LockMemo {
    static constexpr size_t kCapacity = 16;
    uint8_t state[kCapacity] = {}; // 0 not asked yet, 1 open, 2 locked
  };
  Reg &RegAt(uint32_t offset, unsigned width);
  const LockRange *LockOf(uint32_t offset, LockMemo &memo) const;

  std::vector<uint8_t> value_, reset_, write_mask_, w1c_mask_;
  std::vector<int32_t> reg_of_byte_; // index into regs_, or -1
  std::vector<Reg> regs_;
  std::vector<LockRange> locks_;
  bool any_read_zero_lock_ = false; // reads need not look at locks without one
};

} // namespace sim
