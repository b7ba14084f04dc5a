// The scenario's display adapter, key "display" (every field optional):
//   root_port_function  0-7: the PCH root port function at 0:28 the adapter hangs off (default
//                       5); null: the board has no display adapter
//   revision            revision ID of the VGA function (default 0x40)
//   bars                BAR0 upwards: {"kind": "memory" | "io", "size": bytes} or null for an
//                       absent BAR (default 16 MiB memory, 128 KiB memory, 128 bytes I/O)
//   vga_function        false: nothing answers behind the display bridge (default true)
//   vga_enabled         port 0x3C3 bit 0 at power-on (default false)
//   chip                the BMC chip behind the VGA function (sim/devices/chip/chip_scenario.h);
//                       its DRAM must hold BAR0 when BAR0 is a memory BAR
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/core/scenario.h"
#include "sim/devices/chip/chip_scenario.h"
#include "sim/devices/pci/pci_function.h"

namespace sim {

struct DisplayBarSpec {
  BarKind kind;
  uint64_t size;
};

struct DisplayConfig {
  std::optional<uint8_t> root_port_function = 5;
  uint8_t revision = 0x40;
  std::vector<std::optional<DisplayBarSpec>> bars = {
      DisplayBarSpec{BarKind::Memory, 16u << 20},
      DisplayBarSpec{BarKind::Memory, 128u << 10},
      DisplayBarSpec{BarKind::Io, 128},
  };
  bool vga_function = true;
  bool vga_enabled = false;
  ChipConfig chip;
};

// Reads scenario.raw["display"]; throws ScenarioError naming the key for a value it cannot use.
DisplayConfig ParseDisplayConfig(const Scenario &scenario);

} // namespace sim
