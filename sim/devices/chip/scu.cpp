#include "sim/devices/chip/scu.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

using namespace chipreg;

namespace {
constexpr unsigned kRegisterWidth = 4;
constexpr uint32_t kAllBits = 0xFFFFFFFFu;
} // namespace

ChipScu::ChipScu(Bus &bus, const ChipConfig &config)
    : Device(bus, "chip-scu"), regs(kScuSize), config_(config),
      leaf_(regs.Leaf(this, "chip-scu", kW32)) {
  regs.DefineRange(0, kScuSize / kRegisterWidth, kRegisterWidth, 0, kAllBits);
  const uint32_t straps = config.straps | (config.ddr4 ? kStrapDdr4 : 0);
  regs.Define({kScuStraps, kRegisterWidth, straps, kAllBits, 0});
  regs.Define({kScuStartupFlags, kRegisterWidth, config.started_by_bmc ? kStartupDoneFlags : 0,
               kAllBits, 0});

  regs.Protect({kScuKey, kRegisterWidth, kScuKeyValue, kKeyUnlocked, 0, kRegisterWidth,
                kScuSize - 1, RegisterFile::LockMode::IgnoreWrites,
                &config_.faults.scu_never_unlocks});
  // A write to SCU70 stores what was written; the hook ORs it onto the straps before it.
  regs.OnWrite(kScuStraps, [this](uint64_t before, uint64_t after) {
    regs.Set(kScuStraps, kRegisterWidth, before | after);
  });
  regs.OnWrite(kScuStrapClear, [this](uint64_t, uint64_t after) {
    regs.Set(kScuStraps, kRegisterWidth, Straps() & ~after);
    regs.Set(kScuStrapClear, kRegisterWidth, 0);
  });
  regs.OnWrite(kScuStartupFlags, [this](uint64_t before, uint64_t after) {
    if ((before & kStartupRunning) == 0 && (after & kStartupRunning) != 0 && on_flags_set) {
      on_flags_set();
    }
  });
  regs.OnRead(kScuStartupFlags, [this](uint64_t stored) { return ReadStartupFlags(stored); });
}

bool ChipScu::Unlocked() const { return regs.Unlocked(kScuKey); }

uint32_t ChipScu::Straps() const {
  return static_cast<uint32_t>(regs.Get(kScuStraps, kRegisterWidth));
}

uint64_t ChipScu::ReadStartupFlags(uint64_t stored) const {
  return config_.faults.never_started ? stored & ~uint64_t{kStartupRunning} : stored;
}

uint8_t ChipScu::StartupState() const {
  const uint64_t flags = ReadStartupFlags(regs.Get(kScuStartupFlags, kRegisterWidth));
  return static_cast<uint8_t>(flags & kStartupStateMask);
}

void ChipScu::Reset() { regs.Reset(); }

} // namespace sim
