// Marks a module's mutable global. In a firmware image it is ordinary .data/.bss, fresh at every
// load. Host builds gather these in one section so the simulator can restore a fresh image
// before each simulated load (every such global must start as zero).
#pragma once

#if defined(FIRMWARE_BUILD)
#define MODULE_GLOBAL
#else
#define MODULE_GLOBAL __attribute__((section("module_globals"), used))
#endif
