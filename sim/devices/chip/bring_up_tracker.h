// The memory controller's view of a DRAM bring-up, kept explicitly so that the model can answer
// as a chip in that state would and the report can say what happened. It follows only what the
// controller sees:
//   - phases: Configuring after power-on; Training from a PHY initialisation until the
//     controller's cache comes up; Running after that (a chip the BMC started is Running);
//   - attempts: a new one begins at the first PHY initialisation after a verification;
//   - test series: the tests after a write to the test configuration (MCR74/MCR7C). A series in
//     the Training phase is a trial of the PHY setting last written (MCR2CC or MCR2C0) before
//     the PHY initialisation; a series in the Running phase is a verification;
//   - training searches: consecutive trials of one setting register; a pass ends when the
//     swept value goes back.
// Attempts and searches carry the virtual time of their first and last event; the first PHY
// initialisation is marked on the chip's timeline.
// The faults that depend on this state are decided here: trials in the first `dead_passes`
// passes of each search fail, and the first `verify_failures` verifications fail at their first
// burst test with a data generator other than 0 (what tells a verification from a trial).
#pragma once

#include <cstdint>
#include <vector>

#include "sim/devices/chip/chip_record.h"
#include "sim/devices/chip/chip_scenario.h"
#include "sim/devices/chip/chip_timeline.h"
#include "sim/devices/chip/dram_eye.h"

namespace sim {

class BringUpTracker {
public:
  enum class Phase : uint8_t { Configuring, Training, Running };

  BringUpTracker(const ChipConfig &config, ChipTimeline &timeline);
  void Reset();

  void SettingWritten(uint32_t reg, uint32_t value);
  void PhyStarted();
  void PhyFinished(bool ok);
  void PhyAborted();
  void TestSetupWritten();
  // A test starts; true when a fault makes it fail whatever the memory would do.
  bool TestStarted(bool burst, uint32_t mode, PhySettings now);
  void TestFinished(bool passed, uint32_t margins);
  void CacheReady(uint32_t sizeCode, PhySettings now);

  Phase CurrentPhase() const { return phase_; }
  const std::vector<ChipAttempt> &Attempts() const { return attempts_; }
  uint64_t VerifyRuns() const { return verify_runs_; }

private:
  enum class Series : uint8_t { None, Trial, Verify, Other };
  struct Step {
    uint32_t reg = 0; // 0: no setting written before the PHY initialisation
    uint32_t value = 0;
  };

  ChipAttempt &Attempt();
  // The current attempt, with its last event now.
  ChipAttempt &Stamped();
  void OpenSeries(PhySettings now);
  void OpenTrial(PhySettings now);
  void EndSearch(ChipSearch &search, PhySettings now);
  void UpdateOutcome();

  const ChipConfig &config_;
  ChipTimeline &timeline_;
  Phase phase_ = Phase::Configuring;
  std::vector<ChipAttempt> attempts_;
  Step written_; // the setting written since the last PHY initialisation
  Step step_;    // the setting the last PHY initialisation was started for
  bool search_open_ = false;
  uint32_t last_swept_ = 0;
  Series series_ = Series::None;
  bool trial_dead_ = false;
  uint64_t series_verify_number_ = 0;
  uint64_t series_started_ = 0, series_passed_ = 0, series_failed_ = 0;
  uint64_t verify_runs_ = 0;
};

} // namespace sim
