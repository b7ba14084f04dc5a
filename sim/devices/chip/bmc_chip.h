// The BMC chip as the host reaches it: the register window that BAR1 of the display controller
// places on the bus, the chip's internal bus behind it, and its DRAM, which BAR0 shows as the
// frame buffer. Internal decode (a container owned by the chip: an internal address no block
// decodes reads all ones, drops writes and counts as unclaimed on the chip):
//   0x1E600000 AHBC   bus controller, key 0x3F8A62C5 at AHBC00, registers store values
//   0x1E6E0000 MCR    memory controller, DDR PHY, test engine (memory_controller.h)
//   0x1E6E2000 SCU    system control unit (scu.h)
//   0x1E785000 WDT    three watchdogs, registers store values
//   0x80000000 DRAM   to the top of the internal space, wrapping modulo its size (dram.h)
// Everything is configured from the scenario's "display.chip" (chip_scenario.h). The board
// hands Bar1Region() to BAR1, FrameBuffer() to BAR0, and StartupState() to CRTC 0xD0 bits 7:6.
#pragma once

#include "sim/core/bus.h"
#include "sim/devices/chip/bring_up_tracker.h"
#include "sim/devices/chip/chip_record.h"
#include "sim/devices/chip/chip_scenario.h"
#include "sim/devices/chip/chip_timeline.h"
#include "sim/devices/chip/dram.h"
#include "sim/devices/chip/memory_controller.h"
#include "sim/devices/chip/register_block.h"
#include "sim/devices/chip/register_window.h"
#include "sim/devices/chip/scu.h"

namespace sim {

class BmcChip : public Device {
public:
  BmcChip(Bus &bus, const ChipConfig &config, uint64_t bar0Size = ChipDram::kDefaultBar0Size);

  Region &Bar1Region() { return window.Bar1Region(); }
  VideoMemory &FrameBuffer() { return dram; }
  // Extended CRTC register 0xD0 bits 7:6 (SCU40 bits 7:6; the other bits 0).
  uint8_t StartupState() const { return scu.StartupState(); }
  // The same, read by the host through the display controller: marks the timeline.
  uint8_t HostReadsStartupState();
  Region &InternalBus() { return internal_; }

  ChipRecord Record() const;
  ChipPhases Phases() const;
  nlohmann::json RecordJson() const { return ChipRecordJson(Record()); }
  void Reset() override;

  const ChipConfig config;

private:
  Region internal_;

public:
  ChipTimeline timeline{bus_.GetClock()};
  BringUpTracker tracker{config, timeline};
  ChipScu scu;
  ChipRegisterBlock ahbc;
  ChipRegisterBlock wdt;
  ChipDram dram;
  ChipMemoryController mcr;
  ChipRegisterWindow window;
};

} // namespace sim
