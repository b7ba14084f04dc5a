// An x86 processor for running firmware images on the simulated board, on the Unicorn engine:
// IA32 protected mode with flat segments, or 64-bit mode. The board's devices stay the machine's
// models: port I/O goes to the bus's I/O space, every address that is neither RAM the harness
// owns nor flash goes to the bus's memory space, CPUID and the time-stamp counter come from the
// CPU model, and the interrupt flag is kept in step with it. Flash is mapped read-only and
// executable; data reads of flash outside the running image go through the bus as well (they
// are device accesses in a host build too), and a write into flash is dropped and counted.
//
// Calls into the guest run until the guest jumps to a trap address (an unmapped page the harness
// reserves); the harness serves the trap and resumes, so callbacks can nest to any depth.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/core/machine.h"

struct uc_struct;

namespace sim::emu {

enum class CpuMode { Ia32, X64 };

struct GuestError {
  std::string what;
  uint64_t pc;      // the instruction, when known
  uint64_t address; // the memory address involved, if any
};

// Raised through a call when the guest cannot go on (a fault, a runaway loop).
class GuestFault : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class CpuEmulator {
public:
  // Instructions one boot may execute before it is stopped as runaway.
  static constexpr uint64_t kInstructionLimit = 2'000'000'000;

  CpuEmulator(Machine &machine, CpuMode mode);
  ~CpuEmulator();
  CpuEmulator(const CpuEmulator &) = delete;
  CpuEmulator &operator=(const CpuEmulator &) = delete;

  CpuMode Mode() const { return mode_; }
  unsigned PointerSize() const { return mode_ == CpuMode::X64 ? 8 : 4; }

  // Memory layout; all before the first call. Bases and sizes are 4 KiB multiples.
  // RAM the harness owns, backed by `bytes` (which must outlive the emulator).
  void MapRam(uint64_t base, uint64_t size, uint8_t *bytes);
  // The board's flash, backed by the flash model's bytes. `image` is the running image's range,
  // whose reads are instruction and constant fetches rather than device accesses.
  void MapFlash(uint64_t base, uint64_t size, uint8_t *bytes, uint64_t imageStart,
                uint64_t imageEnd);
  // Pages left unmapped: trap pages, guard pages. An access to them is a guest error, except a
  // jump to a trap address, which ends Run.
  void Reserve(uint64_t base, uint64_t size, bool traps);
  // Maps every remaining page of the 4 GiB physical space to the bus.
  void MapDeviceSpace();
  // 64-bit mode only: the guest shares the simulator's memory above 4 GiB, identity-mapped. A data
  // page of the simulator is mapped when the guest first touches it; a jump into the simulator's
  // code ends Run like a trap (the address is the function's), so tables may hold host functions.
  void ShareHostMemory();
  bool IsHostCode(uint64_t address) const;
  // Makes RDTSC and PAUSE instructions at any start address in [start, end) use the CPU model
  // (the engine cannot hook them by kind).
  void HookTimeInstructions(uint64_t start, uint64_t end, const uint8_t *code);
  // The interrupt descriptor table register's base and limit.
  void SetIdtr(uint64_t base, uint32_t limit);

  // Runs from `pc` until the guest reaches a trap address; returns that address. Throws
  // GuestFault when the guest faults.
  uint64_t RunToTrap(uint64_t pc);

  // Registers by Unicorn id (UC_X86_REG_*).
  uint64_t Reg(int id) const;
  void SetReg(int id, uint64_t value);
  uint64_t Sp() const;
  void SetSp(uint64_t value);
  uint64_t Pc() const;

  uint64_t ReadMemory(uint64_t address, unsigned width) const;
  void WriteMemory(uint64_t address, uint64_t value, unsigned width);
  void ReadBytes(uint64_t address, void *out, size_t size) const;
  void WriteBytes(uint64_t address, const void *in, size_t size);

  // Called at the start of the instruction at `address` (for call logging).
  using CodeHook = std::function<void(uint64_t pc)>;
  void AddCodeHook(uint64_t address, CodeHook hook);

  uint64_t Instructions() const { return instructions_; }
  const std::vector<GuestError> &Errors() const { return errors_; }
  void AddError(const std::string &what, uint64_t address = 0);
  uint64_t FlashWrites() const { return flash_writes_; }

private:
  struct Hooks;
  uint32_t BlockInstructions(uint64_t address, uint32_t size);
  uint32_t InstructionsLeftFrom(uint64_t address);
  void SkipTimeInstruction(uint64_t address);
  void SyncInterruptFlagIn();
  void SyncInterruptFlagOut();
  void DropFlashWrite(uint64_t pc);
  bool InRange(uint64_t address, uint64_t base, uint64_t size) const {
    return address >= base && address - base < size;
  }

  Machine &machine_;
  CpuMode mode_;
  uc_struct *uc_ = nullptr;
  struct Range {
    uint64_t base, size;
    bool traps;
  };
  std::vector<Range> ram_, reserved_;
  uint64_t flash_base_ = 0, flash_size_ = 0;
  uint8_t *flash_bytes_ = nullptr;
  uint64_t image_start_ = 0, image_end_ = 0;
  std::vector<void *> mmio_windows_;
  std::vector<CodeHook *> code_hooks_;
  uint64_t instructions_ = 0;
  struct BlockShape {
    uint64_t start = ~0ull;
    uint32_t size = 0, count = 0;
  };
  static constexpr size_t kBlockSlots = 4096;
  std::vector<BlockShape> block_instructions_ = std::vector<BlockShape>(kBlockSlots);
  uint64_t block_end_ = 0; // end of the block last entered
  // A block's rest, from after a time instruction to its end, about to run a second time.
  std::optional<std::pair<uint64_t, uint64_t>> resumed_tail_;
  std::vector<GuestError> errors_;
  uint64_t flash_writes_ = 0;
  bool flash_write_pending_ = false;
  bool stepping_ = false;
  int step_count_ = 0;
  bool share_host_ = false;
  bool MapHostPage(uint64_t address);
  uint64_t fault_pc_ = 0, fault_address_ = 0, fault_value_ = 0;
  int fault_size_ = 0;
  std::string stop_reason_;
};

} // namespace sim::emu
