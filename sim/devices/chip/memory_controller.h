// The BMC chip's memory controller with its DDR PHY and test engine (MCR, internal 0x1E6E0000,
// 32-bit registers). Registers store what software writes unless a rule below says otherwise.
//   MCR00  protection key: writing 0x7B2D4E16 unlocks and MCR00 reads 1; any other value locks
//          and it reads 0. While locked, writes to every other MCR register are ignored.
//   MCR04  configuration. Setting bit 12 starts the cache initialisation; bit 19 (read-only)
//          reads 1 a few reads later and stays set until the next initialisation starts.
//   MCR60  PHY control. Writing 5 starts an initialisation with the MCR2CC and MCR2C0 settings
//          then in force; bit 0 reads 1 for a few reads, then 0. Writing a value with bit 0
//          clear while busy aborts it.
//   MCR300 PHY status (read-only): bits 0x000A0000 after an initialisation that failed.
//   MCR70  test engine. A write with bit 0 set starts the test it names (bit 6: burst test with
//          data generator bits 4:3; clear: single-access test); a few reads later bit 12 (done)
//          or bit 13 (failed) reads set. Any write clears both.
//   MCR3D0 margins of the last test (read-only): byte 0 and byte 1 (see dram_eye.h).
// A completed PHY initialisation brings the DRAM up. Faults: mcr_never_unlocks, phy_errors,
// phy_stuck_busy, test_never_done, cache_never_ready; dead_passes and verify_failures through the
// bring-up tracker.
#pragma once

#include <optional>

#include "sim/core/bus.h"
#include "sim/core/register_file.h"
#include "sim/devices/chip/bring_up_tracker.h"
#include "sim/devices/chip/chip_scenario.h"
#include "sim/devices/chip/dram.h"
#include "sim/devices/chip/dram_eye.h"

namespace sim {

class ChipMemoryController : public Device {
public:
  // Reads that show the PHY busy, the test engine running, the cache initialising.
  static constexpr uint32_t kPhyBusyReads = 3;
  static constexpr uint32_t kTestRunningReads = 2;
  static constexpr uint32_t kCacheInitReads = 2;

  ChipMemoryController(Bus &bus, const ChipConfig &config, ChipDram &dram, BringUpTracker &tracker);

  Region &Leaf() { return leaf_; }
  bool Unlocked() const;
  bool PhyBusy() const { return phy_busy_; }
  // Settings of the last PHY initialisation, when it completed without error.
  const PhySettings *Trained() const { return trained_ ? &*trained_ : nullptr; }
  uint64_t PhyInitialisations() const { return phy_finished_; }
  void Reset() override;

  RegisterFile regs;

private:
  PhySettings Now() const;
  void PhyControlWritten(uint32_t value);
  uint64_t ReadPhyControl(uint64_t stored);
  void FinishPhy();
  void TestCommandWritten(uint32_t value);
  uint64_t ReadTestCommand(uint64_t stored);
  void ConfigWritten(uint32_t before, uint32_t after);
  uint64_t ReadConfig(uint64_t stored);

  const ChipConfig &config_;
  ChipDram &dram_;
  BringUpTracker &tracker_;

  bool phy_busy_ = false;
  uint32_t phy_reads_left_ = 0;
  PhySettings phy_started_with_{};
  std::optional<PhySettings> trained_;
  uint64_t phy_finished_ = 0; // initialisations that ran to their end, with or without error

  bool test_running_ = false;
  uint32_t test_reads_left_ = 0;
  EyeResult test_result_{};

  bool cache_initialising_ = false;
  uint32_t cache_reads_left_ = 0;

  Region leaf_;
};

} // namespace sim
