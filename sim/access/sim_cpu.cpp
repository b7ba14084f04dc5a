// Processor primitives for host builds: the current machine's CPU model.
#include "access/cpu.h"
#include "sim/core/machine.h"

using sim::Machine;

CpuidResult AsmCpuid(uint32_t leaf) {
  return Machine::Current().cpu.Cpuid(leaf, sim::CpuModel::kAnySubLeaf);
}
CpuidResult AsmCpuidEx(uint32_t leaf, uint32_t subLeaf) {
  return Machine::Current().cpu.Cpuid(leaf, subLeaf);
}
uint64_t AsmReadTsc() { return Machine::Current().cpu.ReadTsc(); }
void DisableInterrupts() { Machine::Current().cpu.SetInterruptsEnabled(false); }
void EnableInterrupts() { Machine::Current().cpu.SetInterruptsEnabled(true); }
bool GetInterruptState() { return Machine::Current().cpu.InterruptsEnabled(); }
void CpuPause() { Machine::Current().cpu.Pause(); }
uintptr_t AsmReadPeiServicesPointer() { return Machine::Current().cpu.PeiServicesSlot(); }
