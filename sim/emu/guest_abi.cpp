#include "sim/emu/guest_abi.h"
#include "sim/core/hex_text.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unicorn/unicorn.h>

namespace sim::emu {

namespace {
// Registers a callee must preserve.
constexpr int kIa32Preserved[] = {UC_X86_REG_EBX, UC_X86_REG_ESI, UC_X86_REG_EDI, UC_X86_REG_EBP};
constexpr const char *kIa32PreservedNames[] = {"EBX", "ESI", "EDI", "EBP"};
constexpr int kX64Preserved[] = {UC_X86_REG_RBX, UC_X86_REG_RBP, UC_X86_REG_RSI, UC_X86_REG_RDI,
                                 UC_X86_REG_R12, UC_X86_REG_R13, UC_X86_REG_R14, UC_X86_REG_R15};
constexpr const char *kX64PreservedNames[] = {"RBX", "RBP", "RSI", "RDI",
                                              "R12", "R13", "R14", "R15"};
constexpr int kX64ArgRegs[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};
constexpr uint64_t kX64HomeArea = 32;
constexpr uint64_t kStackAlignment = 16;

// Everything a nested call may change, restored when it returns.
constexpr int kIa32Context[] = {UC_X86_REG_EAX, UC_X86_REG_EBX,   UC_X86_REG_ECX, UC_X86_REG_EDX,
                                UC_X86_REG_ESI, UC_X86_REG_EDI,   UC_X86_REG_EBP, UC_X86_REG_ESP,
                                UC_X86_REG_EIP, UC_X86_REG_EFLAGS};
constexpr int kX64Context[] = {UC_X86_REG_RAX, UC_X86_REG_RBX,   UC_X86_REG_RCX, UC_X86_REG_RDX,
                               UC_X86_REG_RSI, UC_X86_REG_RDI,   UC_X86_REG_RBP, UC_X86_REG_RSP,
                               UC_X86_REG_R8,  UC_X86_REG_R9,    UC_X86_REG_R10, UC_X86_REG_R11,
                               UC_X86_REG_R12, UC_X86_REG_R13,   UC_X86_REG_R14, UC_X86_REG_R15,
                               UC_X86_REG_RIP, UC_X86_REG_RFLAGS};

} // namespace

uint64_t GuestAbi::Arg(unsigned index) const {
  const unsigned p = cpu_.PointerSize();
  if (cpu_.Mode() == CpuMode::X64 && index < 4) {
    return cpu_.Reg(kX64ArgRegs[index]);
  }
  // Above the return address; on X64 the first four slots are the home area.
  return cpu_.ReadMemory(cpu_.Sp() + p + static_cast<uint64_t>(index) * p, p);
}

void GuestAbi::Return(uint64_t result) {
  const unsigned p = cpu_.PointerSize();
  const uint64_t sp = cpu_.Sp();
  const uint64_t back = cpu_.ReadMemory(sp, p);
  if (cpu_.Mode() == CpuMode::X64) {
    cpu_.SetReg(UC_X86_REG_RAX, result);
    cpu_.SetReg(UC_X86_REG_RIP, back);
  } else {
    cpu_.SetReg(UC_X86_REG_EAX, result & 0xFFFFFFFFu);
    cpu_.SetReg(UC_X86_REG_EDX, result >> 32);
    cpu_.SetReg(UC_X86_REG_EIP, back);
  }
  cpu_.SetSp(sp + p);
}

uint64_t GuestAbi::Call(uint64_t function, const std::vector<uint64_t> &args, const Serve &serve) {
  const bool x64 = cpu_.Mode() == CpuMode::X64;
  const unsigned p = cpu_.PointerSize();
  const int *context = x64 ? kX64Context : kIa32Context;
  const size_t contextCount = x64 ? std::size(kX64Context) : std::size(kIa32Context);
  std::vector<uint64_t> saved(contextCount);
  for (size_t i = 0; i < contextCount; ++i) {
    saved[i] = cpu_.Reg(context[i]);
  }

  // The frame: arguments (all of them on IA32; on X64 the home area and those past four), then
  // the return address, with the stack aligned at the call as the conventions expect.
  const uint64_t slots = x64 ? std::max<uint64_t>(args.size(), kX64HomeArea / 8) : args.size();
  uint64_t sp = (cpu_.Sp() - slots * p) & ~(kStackAlignment - 1);
  for (size_t i = 0; i < args.size(); ++i) {
    if (x64 && i < 4) {
      cpu_.SetReg(kX64ArgRegs[i], args[i]);
    } else {
      cpu_.WriteMemory(sp + i * p, args[i], p);
    }
  }
  sp -= p;
  cpu_.WriteMemory(sp, return_trap_, p);
  cpu_.SetSp(sp);
  const int *preserved = x64 ? kX64Preserved : kIa32Preserved;
  const char *const *names = x64 ? kX64PreservedNames : kIa32PreservedNames;
  const size_t preservedCount = x64 ? std::size(kX64Preserved) : std::size(kIa32Preserved);
  std::vector<uint64_t> before(preservedCount);
  for (size_t i = 0; i < preservedCount; ++i) {
    before[i] = cpu_.Reg(preserved[i]);
  }

  uint64_t pc = function;
  for (;;) {
    const uint64_t trap = cpu_.RunToTrap(pc);
    if (trap == return_trap_) {
      break;
    }
    serve(trap);
    pc = cpu_.Pc();
  }
  const uint64_t result = cpu_.Reg(x64 ? UC_X86_REG_RAX : UC_X86_REG_EAX);
  // The caller removes arguments in both conventions: the callee returns to sp + one slot.
  if (cpu_.Sp() != sp + p) {
    cpu_.AddError("the function at " + Hex(function) + " returned with the stack at " +
                  Hex(cpu_.Sp()) + ", not " + Hex(sp + p));
  }
  for (size_t i = 0; i < preservedCount; ++i) {
    if (cpu_.Reg(preserved[i]) != before[i]) {
      cpu_.AddError("the function at " + Hex(function) + " did not preserve " + names[i]);
    }
  }
  for (size_t i = 0; i < contextCount; ++i) {
    cpu_.SetReg(context[i], saved[i]);
  }
  return result;
}

void EmulatedMemory::Read(uint64_t address, void *out, size_t size) const {
  cpu_.ReadBytes(address, out, size);
}

void EmulatedMemory::Write(uint64_t address, const void *in, size_t size) {
  cpu_.WriteBytes(address, in, size);
}

bool EmulatedMemory::IsRam(uint64_t address, size_t size) const {
  for (const auto &[base, length] : ram_) {
    if (address >= base && address - base <= length && size <= length - (address - base)) {
      return true;
    }
  }
  return false;
}

} // namespace sim::emu
