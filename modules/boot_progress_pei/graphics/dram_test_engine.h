// The memory controller's built-in test engine: burst tests with four data generators and a
// single-access test, run over the chip's DRAM during training and to verify a bring-up.
#pragma once

#include <stdint.h>

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"

// Outcome of a test. TimedOut means the engine never reported done or failed: the engine, not the
// memory setting under test, is at fault, and the bring-up gives up.
enum class DramTestResult : uint8_t { Failed = 0, Passed = 1, TimedOut = 2 };

// Burst test with data generator `dataMode` (0-3).
DramTestResult RunBurstTest(const GraphicsDeviceState *state, uint32_t dataMode);
DramTestResult RunSingleTest(const GraphicsDeviceState *state);
// Burst test with generator 0, then the single test; stops at the first that does not pass.
DramTestResult RunTrainingTest(const GraphicsDeviceState *state);
// Burst tests with generators 0 to 3, then the single test; stops at the first that does not pass.
DramTestResult VerifyDram(const GraphicsDeviceState *state);
