#include "modules/boot_progress_pei/graphics/dram_test_engine.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_stall.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"

namespace {
// Reads of the engine's status per test. A test over the training range finishes in far fewer
// reads; 5,000,000 reads take about 6.5 s through the window at 1.3 us each, long enough to call
// an engine that has not answered dead.
constexpr uint32_t kTestEnginePolls = 5'000'000;

constexpr uint32_t kBurstDataModes = 4;

// Starts `command` and waits for it. The failed bit is examined before the read is counted (against
// the test's bound and the start-up's budget), and the count before the done bit; a failed test
// keeps its command in MCR70.
DramTestResult RunTest(const GraphicsDeviceState *state, uint32_t command) {
  const uint32_t mmio = state->MmioBase;
  AstWrite32(MCR70, mmio, kTestEngineStop);
  AstWrite32(MCR70, mmio, command);
  const ChipRegister32 engine{MCR70, mmio};
  for (uint32_t reads = 1;; ++reads) {
    const TestEngine status = ReadRegister<TestEngine>(engine);
    if (status.Failed() != 0) {
      return DramTestResult::Failed;
    }
    if (reads > kTestEnginePolls || !ChargeChipWait(state, 1)) {
      AstWrite32(MCR70, mmio, kTestEngineStop);
      return DramTestResult::TimedOut;
    }
    if (status.Done() != 0) {
      AstWrite32(MCR70, mmio, kTestEngineStop);
      return DramTestResult::Passed;
    }
  }
}

void SetUpTests(uint32_t mmio) {
  AstWrite32(MCR74, mmio, kMcr74TestSetup);
  AstWrite32(MCR7C, mmio, kMcr7cTestSetup);
}
} // namespace

DramTestResult RunBurstTest(const GraphicsDeviceState *state, uint32_t dataMode) {
  const TestEngine command = TestEngine::From(kTestEngineBurst).SetDataMode(dataMode);
  return RunTest(state, command.Raw());
}

DramTestResult RunSingleTest(const GraphicsDeviceState *state) {
  return RunTest(state, kTestEngineSingle);
}

DramTestResult RunTrainingTest(const GraphicsDeviceState *state) {
  SetUpTests(state->MmioBase);
  const DramTestResult burst = RunBurstTest(state, 0);
  if (burst != DramTestResult::Passed) {
    return burst;
  }
  return RunSingleTest(state);
}

DramTestResult VerifyDram(const GraphicsDeviceState *state) {
  SetUpTests(state->MmioBase);
  for (uint32_t mode = 0; mode < kBurstDataModes; ++mode) {
    const DramTestResult burst = RunBurstTest(state, mode);
    if (burst != DramTestResult::Passed) {
      return burst;
    }
  }
  return RunSingleTest(state);
}
