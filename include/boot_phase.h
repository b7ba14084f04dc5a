// Marks a function that a boot phase is named after. The firmware images are optimised across
// translation units; a phase function stays a function of its own there, called with the plain
// stack convention, so that a run of the image can see where the phase begins and ends and read
// its arguments. Host builds observe the same functions through link-time wrappers.
#pragma once

#if defined(FIRMWARE_BUILD)
#define BOOT_PHASE __attribute__((noinline, used))
#else
#define BOOT_PHASE
#endif
