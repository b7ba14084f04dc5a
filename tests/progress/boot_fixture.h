// A simulated PEI board for one test, built from scenario JSON, with helpers to read what the
// module left behind: frame buffer bytes in the controller's video memory, the progress record, the
// notifies that ran.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "modules/boot_progress_pei/graphics/screen.h"
#include "sim/hostile/pei_invariants.h"
#include "sim/pei/pei_boot.h"
#include "tests/progress/clean_bus.h"

namespace test {

inline sim::Scenario ScenarioFrom(const std::string &json) {
  return sim::ParseScenario(nlohmann::json::parse(json), "test", ".");
}

class Boot {
public:
  explicit Boot(const std::string &json) : board(ScenarioFrom(json)) {}
  explicit Boot(const sim::Scenario &scenario) : board(scenario) {}

  // Runs the boot; every full boot leaves a clean bus and holds the invariants an independent
  // bus monitor checks.
  sim::BootResult Run() {
    sim::PeiBootMonitor monitor(board);
    sim::BootResult result = sim::RunPeiBoot(board);
    monitor.Finish();
    EXPECT_TRUE(monitor.Clean()) << monitor.Report();
    ExpectCleanBus(board);
    return result;
  }

  // The start of the controller's video memory, where BAR0 places the frame buffer.
  const uint8_t *Fb() const { return board.display.FrameMemory()->Data(); }
  uint8_t Pixel(uint32_t x, uint32_t y) const { return Fb()[y * kScreenPitch + x]; }
  // Pixels of the 800 x 600 frame that are not 0 (none without a video memory).
  size_t Touched() const {
    size_t n = 0;
    for (size_t i = 0; board.display.FrameMemory() != nullptr && i < kFrameBufferSize; ++i) {
      n += Fb()[i] != 0;
    }
    return n;
  }
  // Number of leading columns of row `y` that hold `index`.
  uint32_t RunLength(uint32_t y, uint8_t index) const {
    uint32_t x = 0;
    while (x < 800 && Pixel(x, y) == index) {
      ++x;
    }
    return x;
  }
  sim::ProgressRecordState Record() { return sim::ReadProgressRecord(board.core.Hobs()); }
  // How often a notify for the PPI named `ppi` ran.
  size_t NotifyRunsFor(const std::string &ppi) const;

  sim::PeiBoard board;
};

} // namespace test
