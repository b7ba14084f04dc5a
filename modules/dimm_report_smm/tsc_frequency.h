// Load-time step: the time-stamp-counter rate, measured against the ACPI PM timer.
#pragma once

#include "uefi/uefi_base.h"

// PM-timer ticks waited: 358 ticks of 3.579545 MHz are 100.01 us, so ticks x 10000 is the rate.
constexpr UINT32 kTscMeasureTicks = 358;
constexpr UINT64 kTscMeasureScale = 10000;
// Port reads before the wait gives up: a 100 us wait takes a few hundred reads at the usual
// 0.3-1 us per port read, so only a timer that does not count (no ACPI decode at 0x500) gets
// near this. The frequency is then left 0.
constexpr UINT32 kPmTimerPollLimit = 1u << 20;

// Sets TscFrequency with interrupts masked, and restores the interrupt flag as it was.
EFI_STATUS MeasureTscFrequency();
