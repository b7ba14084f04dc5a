#include "sim/devices/chip/bring_up_tracker.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

using namespace chipreg;

BringUpTracker::BringUpTracker(const ChipConfig &config, ChipTimeline &timeline)
    : config_(config), timeline_(timeline) {
  Reset();
}

void BringUpTracker::Reset() {
  phase_ = config_.started_by_bmc ? Phase::Running : Phase::Configuring;
  attempts_.clear();
  written_ = step_ = {};
  search_open_ = false;
  last_swept_ = 0;
  series_ = Series::None;
  trial_dead_ = false;
  series_verify_number_ = series_started_ = series_passed_ = series_failed_ = 0;
  verify_runs_ = 0;
}

ChipAttempt &BringUpTracker::Attempt() {
  if (attempts_.empty()) {
    attempts_.emplace_back();
  }
  return attempts_.back();
}

ChipAttempt &BringUpTracker::Stamped() {
  ChipAttempt &a = Attempt();
  a.end_ns = timeline_.NowNs();
  return a;
}

void BringUpTracker::SettingWritten(uint32_t reg, uint32_t value) { written_ = {reg, value}; }

void BringUpTracker::PhyStarted() {
  timeline_.Note(ChipTimeline::Mark::DramTraining);
  if (attempts_.empty() || phase_ == Phase::Running) {
    attempts_.emplace_back();
    attempts_.back().start_ns = timeline_.NowNs();
    search_open_ = false;
  }
  phase_ = Phase::Training;
  series_ = Series::None;
  // A restart with nothing written since is for the same setting.
  if (written_.reg != 0) {
    step_ = written_;
    written_ = {};
  }
  ++Stamped().phy.started;
}

void BringUpTracker::PhyFinished(bool ok) {
  ChipAttempt &a = Stamped();
  ++(ok ? a.phy.completed : a.phy.failed);
}

void BringUpTracker::PhyAborted() { ++Stamped().phy.aborted; }

void BringUpTracker::TestSetupWritten() { series_ = Series::None; }

void BringUpTracker::EndSearch(ChipSearch &search, PhySettings now) {
  search.chosen = search.reg == kMcrPhyVref ? now.vref : now.delay;
  search.end_ns = timeline_.NowNs();
  search_open_ = false;
}

void BringUpTracker::OpenTrial(PhySettings now) {
  series_ = Series::Trial;
  trial_dead_ = false;
  if (step_.reg == 0) {
    return; // a test after a PHY initialisation that no setting preceded: not part of a search
  }
  ChipAttempt &a = Attempt();
  if (!search_open_ || a.searches.back().reg != step_.reg) {
    if (search_open_) {
      EndSearch(a.searches.back(), now);
    }
    a.searches.push_back({step_.reg, {{}}, std::nullopt, timeline_.NowNs(), timeline_.NowNs()});
    search_open_ = true;
  } else if (step_.value <= last_swept_) {
    a.searches.back().passes.emplace_back();
  }
  last_swept_ = step_.value;
  ChipSearch &search = a.searches.back();
  trial_dead_ = search.passes.size() <= config_.faults.dead_passes;
  search.passes.back().push_back({step_.value, false, 0});
}

void BringUpTracker::OpenSeries(PhySettings now) {
  series_started_ = series_passed_ = series_failed_ = 0;
  switch (phase_) {
  case Phase::Training:
    OpenTrial(now);
    break;
  case Phase::Running:
    series_ = Series::Verify;
    series_verify_number_ = ++verify_runs_;
    ++Attempt().verify_runs;
    break;
  case Phase::Configuring:
    series_ = Series::Other;
    break;
  }
}

bool BringUpTracker::TestStarted(bool burst, uint32_t mode, PhySettings now) {
  if (series_ == Series::None) {
    OpenSeries(now);
  }
  ChipAttempt &a = Stamped();
  ++(burst ? a.tests.burst : a.tests.single);
  ++series_started_;
  UpdateOutcome();
  if (series_ == Series::Trial) {
    return trial_dead_;
  }
  return series_ == Series::Verify && burst && mode != 0 &&
         series_verify_number_ <= config_.faults.verify_failures;
}

void BringUpTracker::TestFinished(bool passed, uint32_t margins) {
  ChipAttempt &a = Stamped();
  ++(passed ? a.tests.passed : a.tests.failed);
  ++(passed ? series_passed_ : series_failed_);
  UpdateOutcome();
  if (series_ == Series::Trial && step_.reg != 0) {
    a.searches.back().passes.back().back().margins = margins;
    if (search_open_) {
      a.searches.back().end_ns = a.end_ns;
    }
  }
}

// A series passes when every test started in it finished and passed.
void BringUpTracker::UpdateOutcome() {
  const bool passed = series_failed_ == 0 && series_passed_ == series_started_;
  ChipAttempt &a = Attempt();
  if (series_ == Series::Trial && step_.reg != 0 && search_open_) {
    a.searches.back().passes.back().back().passed = passed;
  } else if (series_ == Series::Verify) {
    a.verify = passed ? ChipVerify::Passed : ChipVerify::Failed;
  }
}

void BringUpTracker::CacheReady(uint32_t sizeCode, PhySettings now) {
  ChipAttempt &a = Stamped();
  if (search_open_) {
    EndSearch(a.searches.back(), now);
  }
  a.size_code = sizeCode;
  phase_ = Phase::Running;
  series_ = Series::None;
}

} // namespace sim
