#include "sim/devices/chip/bmc_chip.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

using namespace chipreg;

BmcChip::BmcChip(Bus &bus, const ChipConfig &c, uint64_t bar0Size)
    : Device(bus, "chip"), config(c),
      internal_(Region::Container(this, "chip-internal", kInternalSpaceSize)), scu(bus, config),
      ahbc(bus, "chip-ahbc", kAhbcSize, kAhbcKeyValue),
      wdt(bus, "chip-wdt", kWdtSize, std::nullopt),
      dram(bus, config.SizeBytes(), config.started_by_bmc, bar0Size),
      mcr(bus, config, dram, tracker), window(bus, internal_) {
  internal_.AddSubregion(kAhbcBase, &ahbc.Leaf());
  internal_.AddSubregion(kMcrBase, &mcr.Leaf());
  internal_.AddSubregion(kScuBase, &scu.Leaf());
  internal_.AddSubregion(kWdtBase, &wdt.Leaf());
  internal_.AddSubregion(kDramBase, &dram.InternalLeaf());
}

// Powers on the whole chip (the bus also resets each part on its own; resets are idempotent).
void BmcChip::Reset() {
  tracker.Reset();
  scu.Reset();
  ahbc.Reset();
  wdt.Reset();
  dram.Reset();
  mcr.Reset();
  window.Reset();
}

ChipRecord BmcChip::Record() const {
  ChipRecord r;
  const uint32_t flags = static_cast<uint32_t>(scu.regs.Get(kScuStartupFlags, 4));
  r.started_by = config.started_by_bmc              ? "bmc"
                 : (flags & kStartupStateMask) != 0 ? "module"
                                                    : "nobody";
  r.running = (StartupState() & kStartupRunning) != 0;
  r.ddr4 = config.ddr4;
  r.size_mib = config.size_mib;
  r.dram_up = dram.Up();
  r.attempts = tracker.Attempts();
  if (config.started_by_bmc) {
    r.size_code = static_cast<uint32_t>(mcr.regs.Get(kMcrConfig, 4) & kConfigSizeCode);
  }
  for (const ChipAttempt &a : r.attempts) {
    if (a.size_code) {
      r.size_code = a.size_code;
    }
  }
  r.unclaimed = Counts().unclaimed;
  return r;
}

} // namespace sim
