// Marks a function that a boot phase is named after. The firmware images are optimised across
// translation units; a phase function stays a function of its own there, so that a run of the
// image can see where the phase begins and ends. BOOT_PHASE_WITH_ARGUMENTS also keeps the plain
// stack convention and every parameter, for a phase whose arguments an image run reads. Host
// builds observe the same functions through link-time wrappers.
#pragma once

#if defined(FIRMWARE_BUILD)
#define BOOT_PHASE __attribute__((noinline))
#define BOOT_PHASE_WITH_ARGUMENTS __attribute__((noinline, used))
#else
#define BOOT_PHASE
#define BOOT_PHASE_WITH_ARGUMENTS
#endif
