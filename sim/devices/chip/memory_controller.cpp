#include "sim/devices/chip/memory_controller.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

using namespace chipreg;

namespace {
constexpr unsigned kRegisterWidth = 4;
constexpr uint32_t kAllBits = 0xFFFFFFFFu;
constexpr uint32_t kControlSetting = 0x06; // MCR2C0 bits 7:0 as the BMC leaves them

uint32_t SizeCode(uint32_t sizeMib) {
  switch (sizeMib) {
  case 128:
    return 0;
  case 256:
    return 1;
  case 512:
    return 2;
  default:
    return 3;
  }
}

// What the memory controller holds after the BMC started the chip: the size code and the cache
// up, and PHY settings in the middle of the eye.
constexpr uint32_t kBmcConfig = 0x08300000u | kConfigCacheReady | kConfigCacheEnable;
uint32_t BmcVref(const ChipConfig &c) {
  const uint32_t mid = (c.eye_vref.lo + c.eye_vref.hi) / 2;
  return (mid << 8) | mid;
}
uint32_t BmcDelay(const ChipConfig &c) {
  return (((c.eye_delay.lo + c.eye_delay.hi) / 2) << kDelayShift) | kControlSetting;
}
} // namespace

ChipMemoryController::ChipMemoryController(Bus &bus, const ChipConfig &config, ChipDram &dram,
                                           BringUpTracker &tracker)
    : Device(bus, "chip-mcr"), regs(kMcrSize), config_(config), dram_(dram), tracker_(tracker),
      leaf_(regs.Leaf(this, "chip-mcr", kW32)) {
  const bool bmc = config.started_by_bmc;
  regs.DefineRange(0, kMcrSize / kRegisterWidth, kRegisterWidth, 0, kAllBits);
  regs.Define({kMcrConfig, kRegisterWidth, bmc ? kBmcConfig | SizeCode(config.size_mib) : 0,
               ~uint64_t{kConfigCacheReady} & kAllBits, 0});
  regs.Define({kMcrPhyVref, kRegisterWidth, bmc ? BmcVref(config) : 0, kAllBits, 0});
  regs.Define({kMcrPhyDelay, kRegisterWidth, bmc ? BmcDelay(config) : 0, kAllBits, 0});
  regs.Define({kMcrTestCommand, kRegisterWidth, 0, ~uint64_t{kTestStatus} & kAllBits, 0});
  regs.Define({kMcrPhyStatus, kRegisterWidth, 0, 0, 0});
  regs.Define({kMcrMargins, kRegisterWidth, 0, 0, 0});

  regs.Protect({kMcrKey, kRegisterWidth, kMcrKeyValue, kKeyUnlocked, 0, kRegisterWidth,
                kMcrSize - 1, RegisterFile::LockMode::IgnoreWrites,
                &config_.faults.mcr_never_unlocks});
  regs.OnWrite(kMcrPhyControl, [this](uint64_t, uint64_t after) {
    PhyControlWritten(static_cast<uint32_t>(after));
  });
  regs.OnRead(kMcrPhyControl, [this](uint64_t stored) { return ReadPhyControl(stored); });
  regs.OnWrite(kMcrTestCommand, [this](uint64_t, uint64_t after) {
    TestCommandWritten(static_cast<uint32_t>(after));
  });
  regs.OnRead(kMcrTestCommand, [this](uint64_t stored) { return ReadTestCommand(stored); });
  regs.OnWrite(kMcrConfig, [this](uint64_t before, uint64_t after) {
    ConfigWritten(static_cast<uint32_t>(before), static_cast<uint32_t>(after));
  });
  regs.OnRead(kMcrConfig, [this](uint64_t stored) { return ReadConfig(stored); });
  for (const uint32_t reg : {kMcrPhyVref, kMcrPhyDelay}) {
    regs.OnWrite(reg, [this, reg](uint64_t, uint64_t after) {
      tracker_.SettingWritten(reg, static_cast<uint32_t>(after));
    });
  }
  for (const uint32_t reg : {kMcrTestSetup, kMcrTestPattern}) {
    regs.OnWrite(reg, [this](uint64_t, uint64_t) { tracker_.TestSetupWritten(); });
  }
  Reset();
}

bool ChipMemoryController::Unlocked() const { return regs.Unlocked(kMcrKey); }

PhySettings ChipMemoryController::Now() const {
  return {static_cast<uint32_t>(regs.Get(kMcrPhyVref, kRegisterWidth)),
          static_cast<uint32_t>(regs.Get(kMcrPhyDelay, kRegisterWidth))};
}

void ChipMemoryController::Reset() {
  regs.Reset();
  phy_busy_ = false;
  phy_reads_left_ = 0;
  phy_finished_ = 0;
  trained_.reset();
  if (config_.started_by_bmc) {
    trained_ = Now();
  }
  test_running_ = false;
  test_reads_left_ = 0;
  cache_initialising_ = false;
  cache_reads_left_ = 0;
}

// --- PHY ----------------------------------------------------------------------------------------

void ChipMemoryController::PhyControlWritten(uint32_t value) {
  if (value == kPhyStart) {
    phy_busy_ = true;
    phy_reads_left_ = kPhyBusyReads;
    phy_started_with_ = Now();
    trained_.reset();
    regs.Set(kMcrPhyStatus, kRegisterWidth,
             regs.Get(kMcrPhyStatus, kRegisterWidth) & ~uint64_t{kPhyInitFailed});
    tracker_.PhyStarted();
  } else if ((value & kPhyBusy) == 0 && phy_busy_) {
    phy_busy_ = false;
    tracker_.PhyAborted();
  }
}

uint64_t ChipMemoryController::ReadPhyControl(uint64_t stored) {
  if (phy_busy_) {
    if (config_.faults.phy_stuck_busy || phy_reads_left_ > 0) {
      if (phy_reads_left_ > 0) {
        --phy_reads_left_;
      }
      return stored | kPhyBusy;
    }
    FinishPhy();
  }
  return stored & ~uint64_t{kPhyBusy};
}

void ChipMemoryController::FinishPhy() {
  phy_busy_ = false;
  const bool failed = phy_finished_++ < config_.faults.phy_errors;
  if (failed) {
    regs.Set(kMcrPhyStatus, kRegisterWidth,
             regs.Get(kMcrPhyStatus, kRegisterWidth) | kPhyInitFailed);
  } else {
    trained_ = phy_started_with_;
    dram_.BringUp();
  }
  tracker_.PhyFinished(!failed);
}

// --- Test engine
// ----------------------------------------------------------------------------------

void ChipMemoryController::TestCommandWritten(uint32_t value) {
  const uint32_t command = value & ~kTestStatus;
  regs.Set(kMcrTestCommand, kRegisterWidth, command);
  test_running_ = (command & kTestStart) != 0;
  if (!test_running_) {
    return;
  }
  const bool burst = (command & kTestBurst) != 0;
  const uint32_t mode = (command & kTestModeMask) >> kTestModeShift;
  const bool forcedFailure = tracker_.TestStarted(burst, mode, Now());
  test_result_ = forcedFailure ? EyeResult{false, 0} : EvaluateEye(config_, Trained(), Now());
  test_reads_left_ = kTestRunningReads;
}

uint64_t ChipMemoryController::ReadTestCommand(uint64_t stored) {
  if (!test_running_ || config_.faults.test_never_done) {
    return stored;
  }
  if (test_reads_left_ > 0) {
    --test_reads_left_;
    return stored;
  }
  test_running_ = false;
  const uint64_t status = stored | (test_result_.passes ? kTestDone : kTestFailed);
  regs.Set(kMcrTestCommand, kRegisterWidth, status);
  regs.Set(kMcrMargins, kRegisterWidth, test_result_.margins);
  tracker_.TestFinished(test_result_.passes, test_result_.margins);
  return status;
}

// --- Cache
// ------------------------------------------------------------------------------------------

void ChipMemoryController::ConfigWritten(uint32_t before, uint32_t after) {
  if ((after & kConfigCacheInit) != 0 && (before & kConfigCacheInit) == 0) {
    cache_initialising_ = true;
    cache_reads_left_ = kCacheInitReads;
    regs.Set(kMcrConfig, kRegisterWidth, after & ~kConfigCacheReady);
  }
}

uint64_t ChipMemoryController::ReadConfig(uint64_t stored) {
  if (!cache_initialising_ || config_.faults.cache_never_ready) {
    return stored;
  }
  if (cache_reads_left_ > 0) {
    --cache_reads_left_;
    return stored;
  }
  cache_initialising_ = false;
  const uint64_t ready = stored | kConfigCacheReady;
  regs.Set(kMcrConfig, kRegisterWidth, ready);
  tracker_.CacheReady(static_cast<uint32_t>(stored & kConfigSizeCode), Now());
  return ready;
}

} // namespace sim
