#include "sim/emu/cpu_emulator.h"
#include "sim/core/hex_text.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <unicorn/unicorn.h>

namespace sim::emu {

namespace {
constexpr uint64_t kPage = 0x1000;
constexpr uint64_t kPhysicalSpaceEnd = 0x100000000ull;
constexpr uint64_t kInterruptFlag = 1u << 9; // EFLAGS.IF
// Opcodes the engine cannot hook by kind.
constexpr uint8_t kTwoByteEscape = 0x0F, kRdtsc = 0x31;
constexpr uint8_t kRepPrefix = 0xF3, kNop = 0x90; // F3 90 is PAUSE

void Check(uc_err err, const char *what) {
  if (err != UC_ERR_OK) {
    throw std::runtime_error(std::string("emulator: ") + what + ": " + uc_strerror(err));
  }
}

struct MmioWindow {
  Machine *machine;
  uint64_t base;
};

// The permissions of the simulator's own mapping that holds `address` ("rw-p", "r-xp", ...), or
// empty when nothing is mapped there.
std::string HostPermissions(uint64_t address) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, perms;
    fields >> range >> perms;
    const size_t dash = range.find('-');
    const uint64_t start = std::stoull(range.substr(0, dash), nullptr, 16);
    const uint64_t end = std::stoull(range.substr(dash + 1), nullptr, 16);
    if (address >= start && address < end) {
      return perms;
    }
  }
  return {};
}
} // namespace

// Engine callbacks, with the emulator as user data.
struct CpuEmulator::Hooks {
  // Instructions are counted a translated block at a time, as each block starts: a hook on
  // every instruction would cost more than the instruction. Where a block is left part-way (a
  // trapped instruction that moves the program counter, a fault) the rest is taken back.
  static void Block(uc_engine *uc, uint64_t address, uint32_t size, void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    if (self->stepping_) {
      return; // a single step counts its one instruction itself
    }
    const uint64_t end = address + size;
    if (self->resumed_tail_ && self->resumed_tail_->first == address &&
        self->resumed_tail_->second == end) {
      // The rest of a block left after a time instruction: counted with that block already.
      self->resumed_tail_.reset();
      self->block_end_ = end;
      return;
    }
    if (self->resumed_tail_) {
      self->instructions_ -= self->BlockInstructions(
          self->resumed_tail_->first,
          static_cast<uint32_t>(self->resumed_tail_->second - self->resumed_tail_->first));
      self->resumed_tail_.reset();
    }
    self->block_end_ = end;
    self->instructions_ += self->BlockInstructions(address, size);
    if (self->instructions_ > kInstructionLimit) {
      self->stop_reason_ =
          "runaway: more than " + std::to_string(kInstructionLimit) + " instructions in one boot";
      uc_emu_stop(uc);
    }
  }
  // Stops a single step before its second instruction.
  static void Step(uc_engine *uc, uint64_t, uint32_t, void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    if (++self->step_count_ > 1) {
      uc_emu_stop(uc);
    }
  }
  static void AtAddress(uc_engine *, uint64_t address, uint32_t, void *user) {
    (*static_cast<CodeHook *>(user))(address);
  }
  static uint32_t In(uc_engine *, uint32_t port, int size, void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    return static_cast<uint32_t>(self->machine_.bus.Read(Space::Io, port & 0xFFFF, size));
  }
  static void Out(uc_engine *, uint32_t port, int size, uint32_t value, void *user) {
    static_cast<CpuEmulator *>(user)->machine_.bus.Write(Space::Io, port & 0xFFFF, size, value);
  }
  static int Cpuid(uc_engine *, void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    const auto leaf = static_cast<uint32_t>(self->Reg(UC_X86_REG_EAX));
    const auto subLeaf = static_cast<uint32_t>(self->Reg(UC_X86_REG_ECX));
    const CpuidResult r = self->machine_.cpu.Cpuid(leaf, subLeaf);
    self->SetReg(UC_X86_REG_RAX, r.Eax);
    self->SetReg(UC_X86_REG_RBX, r.Ebx);
    self->SetReg(UC_X86_REG_RCX, r.Ecx);
    self->SetReg(UC_X86_REG_RDX, r.Edx);
    return 1; // the instruction's own effect is replaced
  }
  static void Rdtsc(uc_engine *, uint64_t address, uint32_t, void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    const uint64_t tsc = self->machine_.cpu.ReadTsc();
    self->SetReg(UC_X86_REG_RAX, tsc & 0xFFFFFFFFu);
    self->SetReg(UC_X86_REG_RDX, tsc >> 32);
    self->SkipTimeInstruction(address);
  }
  static void Pause(uc_engine *, uint64_t address, uint32_t, void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    self->machine_.cpu.Pause();
    self->SkipTimeInstruction(address);
  }
  // Data accesses of flash: reads outside the image are device reads; a write is caught by the
  // protection hook (this hook also keeps the engine's program counter exact for it).
  static void FlashAccess(uc_engine *, uc_mem_type type, uint64_t address, int size, int64_t,
                          void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    if (type == UC_MEM_READ && !self->stepping_ &&
        !(address >= self->image_start_ && address < self->image_end_)) {
      self->machine_.bus.Read(Space::Memory, address, size);
    }
  }
  static bool Invalid(uc_engine *, uc_mem_type type, uint64_t address, int size, int64_t value,
                      void *user) {
    auto *self = static_cast<CpuEmulator *>(user);
    if (type == UC_MEM_WRITE_PROT && self->InRange(address, self->flash_base_, self->flash_size_)) {
      self->flash_write_pending_ = true;
      self->fault_pc_ = self->Pc();
      self->fault_address_ = address;
      self->fault_size_ = size;
      self->fault_value_ = static_cast<uint64_t>(value);
      return false;
    }
    if (type == UC_MEM_FETCH_UNMAPPED) {
      return false; // a trap, or a wild jump: RunToTrap tells them apart
    }
    if ((type == UC_MEM_READ_UNMAPPED || type == UC_MEM_WRITE_UNMAPPED) && self->share_host_ &&
        address >= kPhysicalSpaceEnd && self->MapHostPage(address)) {
      return true; // mapped: the access is retried
    }
    const char *kind = type == UC_MEM_READ_UNMAPPED || type == UC_MEM_READ_PROT     ? "read"
                       : type == UC_MEM_WRITE_UNMAPPED || type == UC_MEM_WRITE_PROT ? "write"
                                                                                    : "fetch";
    self->stop_reason_ = std::string(kind) + " of " + std::to_string(size) + " bytes at " +
                         Hex(address) + ", which is no memory of the board";
    self->fault_address_ = address;
    return false;
  }
  static uint64_t MmioRead(uc_engine *, uint64_t offset, unsigned size, void *user) {
    auto *w = static_cast<MmioWindow *>(user);
    return w->machine->bus.Read(Space::Memory, w->base + offset, size);
  }
  static void MmioWrite(uc_engine *, uint64_t offset, unsigned size, uint64_t value, void *user) {
    auto *w = static_cast<MmioWindow *>(user);
    w->machine->bus.Write(Space::Memory, w->base + offset, size, value);
  }
};

CpuEmulator::CpuEmulator(Machine &machine, CpuMode mode) : machine_(machine), mode_(mode) {
  Check(uc_open(UC_ARCH_X86, mode == CpuMode::X64 ? UC_MODE_64 : UC_MODE_32, &uc_), "open");
  uc_hook h;
  Check(uc_hook_add(uc_, &h, UC_HOOK_BLOCK, reinterpret_cast<void *>(&Hooks::Block), this, 1, 0),
        "instruction counter");
  Check(uc_hook_add(uc_, &h, UC_HOOK_INSN, reinterpret_cast<void *>(&Hooks::In), this, 1, 0,
                    UC_X86_INS_IN),
        "IN");
  Check(uc_hook_add(uc_, &h, UC_HOOK_INSN, reinterpret_cast<void *>(&Hooks::Out), this, 1, 0,
                    UC_X86_INS_OUT),
        "OUT");
  Check(uc_hook_add(uc_, &h, UC_HOOK_INSN, reinterpret_cast<void *>(&Hooks::Cpuid), this, 1, 0,
                    UC_X86_INS_CPUID),
        "CPUID");
  Check(uc_hook_add(uc_, &h, UC_HOOK_MEM_INVALID, reinterpret_cast<void *>(&Hooks::Invalid), this,
                    1, 0),
        "invalid access");
}

CpuEmulator::~CpuEmulator() {
  if (uc_ != nullptr) {
    uc_close(uc_);
  }
  for (CodeHook *h : code_hooks_) {
    delete h;
  }
  for (void *w : mmio_windows_) {
    delete static_cast<MmioWindow *>(w);
  }
}

void CpuEmulator::MapRam(uint64_t base, uint64_t size, uint8_t *bytes) {
  Check(uc_mem_map_ptr(uc_, base, size, UC_PROT_ALL, bytes), "map RAM");
  ram_.push_back({base, size, false});
}

void CpuEmulator::MapFlash(uint64_t base, uint64_t size, uint8_t *bytes, uint64_t imageStart,
                           uint64_t imageEnd) {
  Check(uc_mem_map_ptr(uc_, base, size, UC_PROT_READ | UC_PROT_EXEC, bytes), "map flash");
  flash_base_ = base;
  flash_size_ = size;
  flash_bytes_ = bytes;
  image_start_ = imageStart;
  image_end_ = imageEnd;
  uc_hook h;
  Check(uc_hook_add(uc_, &h, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE,
                    reinterpret_cast<void *>(&Hooks::FlashAccess), this, base, base + size - 1),
        "flash reads");
}

void CpuEmulator::Reserve(uint64_t base, uint64_t size, bool traps) {
  reserved_.push_back({base, size, traps});
}

void CpuEmulator::MapDeviceSpace() {
  std::vector<Range> taken = ram_;
  taken.insert(taken.end(), reserved_.begin(), reserved_.end());
  if (flash_size_ != 0) {
    taken.push_back({flash_base_, flash_size_, false});
  }
  std::sort(taken.begin(), taken.end(),
            [](const Range &a, const Range &b) { return a.base < b.base; });
  uint64_t at = 0;
  auto map = [&](uint64_t end) {
    if (end > at) {
      auto *w = new MmioWindow{&machine_, at};
      mmio_windows_.push_back(w);
      Check(uc_mmio_map(uc_, at, end - at, &Hooks::MmioRead, w, &Hooks::MmioWrite, w),
            "map device space");
    }
  };
  for (const Range &r : taken) {
    if (r.base >= kPhysicalSpaceEnd) {
      continue;
    }
    map(r.base);
    at = std::max(at, r.base + r.size);
  }
  map(kPhysicalSpaceEnd);
}

void CpuEmulator::ShareHostMemory() {
  if (mode_ != CpuMode::X64) {
    throw std::logic_error("only a 64-bit guest can share the simulator's memory");
  }
  share_host_ = true;
}

bool CpuEmulator::IsHostCode(uint64_t address) const {
  const std::string perms = HostPermissions(address);
  return share_host_ && perms.size() >= 3 && perms[2] == 'x';
}

// Data pages only: the simulator's code is never mapped, so jumping into it traps.
bool CpuEmulator::MapHostPage(uint64_t address) {
  const uint64_t page = address & ~(kPage - 1);
  const std::string perms = HostPermissions(page);
  if (perms.size() < 3 || perms[0] != 'r' || perms[2] == 'x') {
    return false;
  }
  return uc_mem_map_ptr(uc_, page, kPage, UC_PROT_READ | UC_PROT_WRITE,
                        reinterpret_cast<void *>(page)) == UC_ERR_OK;
}

void CpuEmulator::HookTimeInstructions(uint64_t start, uint64_t end, const uint8_t *code) {
  for (uint64_t a = start; a + 1 < end; ++a) {
    const uint8_t first = code[a - start], second = code[a - start + 1];
    void *hook = nullptr;
    if (first == kTwoByteEscape && second == kRdtsc) {
      hook = reinterpret_cast<void *>(&Hooks::Rdtsc);
    } else if (first == kRepPrefix && second == kNop) {
      hook = reinterpret_cast<void *>(&Hooks::Pause);
    }
    if (hook != nullptr) {
      uc_hook h;
      Check(uc_hook_add(uc_, &h, UC_HOOK_CODE, hook, this, a, a), "time instruction");
    }
  }
}

uint32_t CpuEmulator::BlockInstructions(uint64_t address, uint32_t size) {
  // Hot loops run through a handful of blocks: a direct-mapped table answers them.
  BlockShape &slot = block_instructions_[(address ^ (address >> 12)) % kBlockSlots];
  if (slot.start == address && slot.size == size) {
    return slot.count;
  }
  // The engine's own record of the block it has translated at `address`.
  uc_tb tb{};
  if (uc_ctl_request_cache(uc_, address, &tb) != UC_ERR_OK || tb.size != size) {
    throw GuestFault("the engine keeps no block of " + std::to_string(size) + " bytes at " +
                     Hex(address));
  }
  slot = {address, size, tb.icount};
  return tb.icount;
}

// Instructions from `address` to the end of the block last entered: those left unexecuted when
// that block is left at `address`. A block translated from there ends where the entered one does
// (blocks end at the same branch), so its count is theirs. Only outside a run: it may translate.
uint32_t CpuEmulator::InstructionsLeftFrom(uint64_t address) {
  if (address >= block_end_) {
    return 0;
  }
  return BlockInstructions(address, static_cast<uint32_t>(block_end_ - address));
}

// The time instructions are two bytes long; the hook has done their work, so the program goes
// on after them. The rest of their block, already counted, runs again as a block of its own,
// which is not counted a second time.
void CpuEmulator::SkipTimeInstruction(uint64_t address) {
  if (address + 2 < block_end_) {
    resumed_tail_.emplace(address + 2, block_end_);
  }
  SetReg(mode_ == CpuMode::X64 ? UC_X86_REG_RIP : UC_X86_REG_EIP, address + 2);
}

void CpuEmulator::SetIdtr(uint64_t base, uint32_t limit) {
  uc_x86_mmr idtr{0, base, limit, 0};
  Check(uc_reg_write(uc_, UC_X86_REG_IDTR, &idtr), "IDTR");
}

void CpuEmulator::AddCodeHook(uint64_t address, CodeHook hook) {
  auto *h = new CodeHook(std::move(hook));
  code_hooks_.push_back(h);
  uc_hook id;
  Check(uc_hook_add(uc_, &id, UC_HOOK_CODE, reinterpret_cast<void *>(&Hooks::AtAddress), h, address,
                    address),
        "code hook");
}

uint64_t CpuEmulator::Reg(int id) const {
  uint64_t v = 0;
  uc_reg_read(uc_, id, &v);
  if (mode_ == CpuMode::Ia32 && id != UC_X86_REG_IDTR) {
    v &= 0xFFFFFFFFu;
  }
  return v;
}

void CpuEmulator::SetReg(int id, uint64_t value) {
  // In IA32 mode the 64-bit names reach the same registers' low halves.
  if (mode_ == CpuMode::Ia32) {
    switch (id) {
    case UC_X86_REG_RAX:
      id = UC_X86_REG_EAX;
      break;
    case UC_X86_REG_RBX:
      id = UC_X86_REG_EBX;
      break;
    case UC_X86_REG_RCX:
      id = UC_X86_REG_ECX;
      break;
    case UC_X86_REG_RDX:
      id = UC_X86_REG_EDX;
      break;
    default:
      break;
    }
  }
  Check(uc_reg_write(uc_, id, &value), "register write");
}

uint64_t CpuEmulator::Sp() const {
  return Reg(mode_ == CpuMode::X64 ? UC_X86_REG_RSP : UC_X86_REG_ESP);
}
void CpuEmulator::SetSp(uint64_t v) {
  SetReg(mode_ == CpuMode::X64 ? UC_X86_REG_RSP : UC_X86_REG_ESP, v);
}
uint64_t CpuEmulator::Pc() const {
  return Reg(mode_ == CpuMode::X64 ? UC_X86_REG_RIP : UC_X86_REG_EIP);
}

uint64_t CpuEmulator::ReadMemory(uint64_t address, unsigned width) const {
  uint64_t v = 0;
  ReadBytes(address, &v, width);
  return v;
}

void CpuEmulator::WriteMemory(uint64_t address, uint64_t value, unsigned width) {
  WriteBytes(address, &value, width);
}

void CpuEmulator::ReadBytes(uint64_t address, void *out, size_t size) const {
  if (uc_mem_read(uc_, address, out, size) != UC_ERR_OK) {
    throw GuestFault("the harness read " + std::to_string(size) + " bytes at " + Hex(address) +
                     ", which is no RAM");
  }
}

void CpuEmulator::WriteBytes(uint64_t address, const void *in, size_t size) {
  if (uc_mem_write(uc_, address, in, size) != UC_ERR_OK) {
    throw GuestFault("the harness wrote " + std::to_string(size) + " bytes at " + Hex(address) +
                     ", which is no RAM");
  }
}

void CpuEmulator::AddError(const std::string &what, uint64_t address) {
  errors_.push_back({what, Pc(), address});
}

void CpuEmulator::SyncInterruptFlagIn() {
  const uint64_t flags = Reg(mode_ == CpuMode::X64 ? UC_X86_REG_RFLAGS : UC_X86_REG_EFLAGS);
  SetReg(mode_ == CpuMode::X64 ? UC_X86_REG_RFLAGS : UC_X86_REG_EFLAGS,
         machine_.cpu.InterruptsEnabled() ? flags | kInterruptFlag : flags & ~kInterruptFlag);
}

void CpuEmulator::SyncInterruptFlagOut() {
  const uint64_t flags = Reg(mode_ == CpuMode::X64 ? UC_X86_REG_RFLAGS : UC_X86_REG_EFLAGS);
  machine_.cpu.SetInterruptsEnabled((flags & kInterruptFlag) != 0);
}

// Runs the faulting store once with its flash pages writable, then puts the pages back as they
// were: the store is dropped, the program goes on after it.
void CpuEmulator::DropFlashWrite(uint64_t pc) {
  ++flash_writes_;
  errors_.push_back({"write of " + std::to_string(fault_size_) + " bytes into flash at " +
                         Hex(fault_address_) + " dropped",
                     pc, fault_address_});
  machine_.bus.Write(Space::Memory, fault_address_, static_cast<unsigned>(fault_size_),
                     fault_value_);
  const uint64_t first = std::max(flash_base_, (fault_address_ & ~(kPage - 1)) - kPage);
  const uint64_t end =
      std::min(flash_base_ + flash_size_,
               ((fault_address_ + fault_size_ + kPage - 1) & ~(kPage - 1)) + kPage);
  const std::vector<uint8_t> saved(flash_bytes_ + (first - flash_base_),
                                   flash_bytes_ + (end - flash_base_));
  Check(uc_mem_protect(uc_, first, end - first, UC_PROT_ALL), "open flash pages");
  // The faulting store's block was counted whole; the store counts once, with its step.
  instructions_ -= InstructionsLeftFrom(pc);
  ++instructions_;
  // One instruction: a hook on every instruction stops the engine at the next one (the
  // engine's own instruction count does not hold it to one instruction). Blocks translated
  // without the hook are dropped first.
  uc_hook step;
  Check(uc_hook_add(uc_, &step, UC_HOOK_CODE, reinterpret_cast<void *>(&Hooks::Step), this, 1, 0),
        "single step");
  Check(uc_ctl_remove_cache(uc_, pc, pc + 1), "drop blocks");
  stepping_ = true;
  step_count_ = 0;
  const uc_err err = uc_emu_start(uc_, pc, 0, 0, 0);
  stepping_ = false;
  uc_hook_del(uc_, step);
  std::copy(saved.begin(), saved.end(), flash_bytes_ + (first - flash_base_));
  Check(uc_mem_protect(uc_, first, end - first, UC_PROT_READ | UC_PROT_EXEC), "close flash pages");
  if (err != UC_ERR_OK) {
    throw GuestFault("the store into flash at " + Hex(pc) + " faulted: " + uc_strerror(err));
  }
}

uint64_t CpuEmulator::RunToTrap(uint64_t pc) {
  SyncInterruptFlagIn();
  for (;;) {
    stop_reason_.clear();
    flash_write_pending_ = false;
    const uc_err err = uc_emu_start(uc_, pc, 0, 0, 0);
    if (flash_write_pending_) {
      DropFlashWrite(fault_pc_);
      pc = Pc();
      continue;
    }
    pc = Pc();
    if (!stop_reason_.empty()) {
      SyncInterruptFlagOut();
      errors_.push_back({stop_reason_, pc, fault_address_});
      throw GuestFault(stop_reason_ + " (at " + Hex(pc) + ")");
    }
    if (err == UC_ERR_FETCH_UNMAPPED) {
      if (pc >= kPhysicalSpaceEnd && IsHostCode(pc)) {
        SyncInterruptFlagOut();
        return pc;
      }
      for (const Range &r : reserved_) {
        if (r.traps && InRange(pc, r.base, r.size)) {
          SyncInterruptFlagOut();
          return pc;
        }
      }
    }
    const std::string what = err == UC_ERR_OK
                                 ? "the guest jumped to address 0"
                                 : std::string("the guest stopped: ") + uc_strerror(err);
    errors_.push_back({what, pc, 0});
    SyncInterruptFlagOut();
    throw GuestFault(what + " (at " + Hex(pc) + ")");
  }
}

} // namespace sim::emu
