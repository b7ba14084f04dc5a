// Processor primitives for firmware images.
#include "access/cpu.h"

CpuidResult AsmCpuidEx(uint32_t leaf, uint32_t subLeaf) {
  CpuidResult r;
  __asm__ volatile("cpuid"
                   : "=a"(r.Eax), "=b"(r.Ebx), "=c"(r.Ecx), "=d"(r.Edx)
                   : "a"(leaf), "c"(subLeaf));
  return r;
}

CpuidResult AsmCpuid(uint32_t leaf) { return AsmCpuidEx(leaf, 0); }

uint64_t AsmReadTsc() {
  uint32_t low, high;
  __asm__ volatile("rdtsc" : "=a"(low), "=d"(high));
  return (static_cast<uint64_t>(high) << 32) | low;
}

void DisableInterrupts() { __asm__ volatile("cli" ::: "memory"); }
void EnableInterrupts() { __asm__ volatile("sti" ::: "memory"); }

bool GetInterruptState() {
  uintptr_t flags;
  __asm__ volatile("pushf\n\tpop %0" : "=r"(flags));
  return (flags & 0x200u) != 0; // EFLAGS.IF
}

void CpuPause() { __asm__ volatile("pause"); }

uintptr_t AsmReadPeiServicesPointer() {
  struct __attribute__((packed)) {
    uint16_t Limit;
    uintptr_t Base;
  } idtr;
  __asm__ volatile("sidt %0" : "=m"(idtr));
  return *reinterpret_cast<const volatile uintptr_t *>(idtr.Base - sizeof(uintptr_t));
}
