// Calls across the boundary between the simulator and an emulated image, in the firmware calling
// convention of the image: cdecl on IA32 (arguments on the stack, the caller removes them, result
// in EAX or EDX:EAX), the Microsoft x64 convention on X64 (RCX, RDX, R8, R9, then the stack above
// a 32-byte home area, result in RAX).
//
// A call into the guest builds the frame on the guest stack with a return address on the
// harness's return trap, runs until that trap, and checks that the callee kept the registers the
// convention makes it preserve and returned with the stack where it belongs. Every other trap
// reached meanwhile is a call out of the guest, handed to `serve`, which reads its arguments with
// Arg and completes it with Return.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/core/guest_memory.h"
#include "sim/emu/cpu_emulator.h"

namespace sim::emu {

class GuestAbi {
public:
  GuestAbi(CpuEmulator &cpu, uint64_t returnTrap) : cpu_(cpu), return_trap_(returnTrap) {}

  // At a trap: argument `index` of the call (a full stack slot or register).
  uint64_t Arg(unsigned index) const;
  // Completes the trapped call with `result` and resumes the caller.
  void Return(uint64_t result);

  using Serve = std::function<void(uint64_t trap)>;
  // Returns RAX or EAX.
  uint64_t Call(uint64_t function, const std::vector<uint64_t> &args, const Serve &serve);

  uint64_t ReturnTrap() const { return return_trap_; }

private:
  CpuEmulator &cpu_;
  uint64_t return_trap_;
};

// Guest memory of an emulated board: what the emulator maps, with `ram` ranges the core may treat
// as RAM.
// EFI_STATUS between the guest's width and the simulator's 64 bits: the error bit is the top one.
inline uint64_t StatusToGuest(uint64_t status, unsigned pointerSize) {
  return pointerSize == 8 ? status : (status & 0x7FFFFFFFu) | ((status >> 63) << 31);
}
inline uint64_t StatusFromGuest(uint64_t status, unsigned pointerSize) {
  return pointerSize == 8 ? status : (status & 0x7FFFFFFFu) | (((status >> 31) & 1) << 63);
}

class EmulatedMemory final : public GuestMemory {
public:
  explicit EmulatedMemory(CpuEmulator &cpu) : cpu_(cpu) {}
  void AddRam(uint64_t base, uint64_t size) { ram_.push_back({base, size}); }
  unsigned PointerSize() const override { return cpu_.PointerSize(); }
  void Read(uint64_t address, void *out, size_t size) const override;
  void Write(uint64_t address, const void *in, size_t size) override;
  bool IsRam(uint64_t address, size_t size) const override;

private:
  CpuEmulator &cpu_;
  std::vector<std::pair<uint64_t, uint64_t>> ram_;
};

} // namespace sim::emu
