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
  window.on_control_write = [this] { timeline.Note(ChipTimeline::Mark::FirstAccess); };
  scu.on_flags_set = [this] { timeline.Note(ChipTimeline::Mark::FlagsSet); };
}

uint8_t BmcChip::HostReadsStartupState() {
  const uint8_t state = StartupState();
  timeline.Note(ChipTimeline::Mark::StatusRead);
  if ((state & kStartupRunning) != 0) {
    timeline.Note(ChipTimeline::Mark::RunningSeen);
  }
  return state;
}

// Powers on the whole chip (the bus also resets each part on its own; resets are idempotent).
void BmcChip::Reset() {
  timeline.Reset();
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
  r.vref_setting = static_cast<uint32_t>(mcr.regs.Get(kMcrPhyVref, 4));
  r.delay_setting = static_cast<uint32_t>(mcr.regs.Get(kMcrPhyDelay, 4));
  if (config.started_by_bmc) {
    r.size_code = static_cast<uint32_t>(mcr.regs.Get(kMcrConfig, 4) & kConfigSizeCode);
  }
  for (const ChipAttempt &a : r.attempts) {
    if (a.size_code) {
      r.size_code = a.size_code;
    }
  }
  r.phases = Phases();
  r.unclaimed = Counts().unclaimed;
  return r;
}

// Each stage runs from its start to the start of the next one reached, or to the last activity
// when none was.
ChipPhases BmcChip::Phases() const {
  using Mark = ChipTimeline::Mark;
  ChipPhases p;
  const std::optional<uint64_t> last = timeline.LastActivity();
  if (!last) {
    return p;
  }
  const auto span = [](uint64_t from, uint64_t to) {
    return static_cast<double>(to - from) / 1000.0;
  };
  const std::optional<uint64_t> first = timeline.At(Mark::FirstAccess);
  const std::optional<uint64_t> training = timeline.At(Mark::DramTraining);
  const std::optional<uint64_t> flags = timeline.At(Mark::FlagsSet);
  const std::optional<uint64_t> dramEnd =
      tracker.Attempts().empty() ? std::nullopt
                                 : std::optional<uint64_t>(tracker.Attempts().back().end_ns);
  if (first) {
    p.configure_us = span(*first, training ? *training : flags ? *flags : *last);
  }
  // A bring-up that never finished (the cache never ready, say) spent the rest of its time there.
  if (training) {
    p.dram_us = span(*training, flags ? *dramEnd : *last);
    if (flags) {
      p.finish_us = span(*dramEnd, *flags);
    }
  }
  // A chip someone else started is waited for from the host's first look at it.
  const std::optional<uint64_t> waitFrom = flags   ? flags
                                           : first ? std::nullopt
                                                   : timeline.At(Mark::StatusRead);
  if (waitFrom) {
    const std::optional<uint64_t> seen = timeline.At(Mark::RunningSeen);
    p.wait_running_us = span(*waitFrom, seen ? *seen : *last);
  }
  const std::optional<uint64_t> begin = first ? first : timeline.At(Mark::StatusRead);
  if (begin) {
    p.total_us = span(*begin, *last);
  }
  return p;
}

} // namespace sim
