// The host decode window for the display path's MMIO: from 256 MiB above the memory-mapped
// configuration base up to the fixed limit below the flash, opened once per boot.
#pragma once

#include <stdint.h>

// The window's limit, as an address: it stays below the platform's fixed ranges and the boot
// flash at the top of the 4 GiB space. Nothing the bring-up assigns reaches it.
constexpr uint32_t kHostWindowLimit = 0xFB000000;

// Programs the decode rule and the host bridge's window; returns 0. A rule already enabled is
// left as it is; nothing is written when the host bridge does not read its configuration base
// back through that base.
uint32_t OpenHostMmioWindow();

struct HostWindowSettings {
  uint32_t Rule;       // decode rule register value, enabled
  uint16_t WindowBase; // host bridge window base, 64 KiB units
  uint16_t WindowLimit;
};

// The settings for a memory-mapped configuration base.
HostWindowSettings HostWindowFor(uint32_t configBase);
