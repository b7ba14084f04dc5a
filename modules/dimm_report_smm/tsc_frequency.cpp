#include "modules/dimm_report_smm/tsc_frequency.h"

#include "access/cpu.h"
#include "access/port_io.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/pmc_regs.h"

namespace {
// True once `now` is more than kTscMeasureTicks - 1 past `start`: bit 23 of the 32-bit
// difference turns on when the count passes start + 357, across the 24-bit wrap too.
bool WaitOver(UINT32 start, UINT32 now) {
  return ((start + (kTscMeasureTicks - 1) - now) & (1u << 23)) != 0;
}
} // namespace

EFI_STATUS MeasureTscFrequency() {
  const bool interruptsWereOn = GetInterruptState();
  DisableInterrupts();
  const UINT32 start = IoRead32(AcpiPmTimer::kPort) & AcpiPmTimer::kCountMask;
  const UINT64 t0 = AsmReadTsc();
  UINT32 now = IoRead32(AcpiPmTimer::kPort);
  UINT32 polls = 0;
  while (!WaitOver(start, now) && polls < kPmTimerPollLimit) {
    CpuPause();
    now = IoRead32(AcpiPmTimer::kPort);
    ++polls;
  }
  const UINT64 t1 = AsmReadTsc();
  const bool counted = WaitOver(start, now);
  TscFrequency = counted ? (t1 - t0) * kTscMeasureScale : 0;
  if (interruptsWereOn) {
    EnableInterrupts();
  } else {
    DisableInterrupts();
  }
  return counted ? EFI_SUCCESS : EFI_NOT_READY;
}
