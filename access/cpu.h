// Processor primitives: CPUID, time-stamp counter, interrupt flag, pause, and the PEI services
// pointer that the PEI core keeps in the pointer-sized word just below the IDT base.
#pragma once

#include <stdint.h>

struct CpuidResult {
  uint32_t Eax;
  uint32_t Ebx;
  uint32_t Ecx;
  uint32_t Edx;
};

CpuidResult AsmCpuid(uint32_t leaf);
CpuidResult AsmCpuidEx(uint32_t leaf, uint32_t subLeaf);
uint64_t AsmReadTsc();
void DisableInterrupts();
void EnableInterrupts();
// True when the interrupt flag (EFLAGS.IF) is set.
bool GetInterruptState();
void CpuPause();
// The PEI services pointer the PEI core stores in the pointer-sized word just below the IDT base.
uintptr_t AsmReadPeiServicesPointer();
