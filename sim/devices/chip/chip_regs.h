// The BMC chip as its models decode it: the register window in the display controller's second
// BAR, where each block sits on the chip's internal bus, and the registers, keys and bits the
// models give behaviour to. Register offsets are within their block (SCU70 is offset 0x70 of the
// SCU at internal address 0x1E6E2000). The module keeps its own definitions; tests compare them.
#pragma once

#include <cstdint>

namespace sim::chipreg {

// --- Register window (BAR1) -------------------------------------------------------------------
constexpr uint64_t kWindowBarSize = 0x20000; // 128 KiB: control registers and the aperture
constexpr uint32_t kWindowControl = 0xF000;  // the two control registers
constexpr uint32_t kWindowControlSize = 8;
constexpr uint32_t kWindowEnable = 0xF000; // bit 0 opens the aperture
constexpr uint32_t kWindowBase = 0xF004;   // internal address bits 31:16 the aperture shows
constexpr uint32_t kWindowAperture = 0x10000;
constexpr uint32_t kWindowApertureSize = 0x10000;
constexpr uint32_t kWindowEnableBit = 0x1;
constexpr uint32_t kWindowBaseMask = 0xFFFF0000u;

// --- Internal bus -----------------------------------------------------------------------------
constexpr uint64_t kInternalSpaceSize = 0x100000000ull;
constexpr uint32_t kMcrBase = 0x1E6E0000u;
constexpr uint32_t kMcrSize = 0x400;
constexpr uint32_t kScuBase = 0x1E6E2000u;
constexpr uint32_t kScuSize = 0x200;
constexpr uint32_t kAhbcBase = 0x1E600000u;
constexpr uint32_t kAhbcSize = 0x100;
constexpr uint32_t kWdtBase = 0x1E785000u;
constexpr uint32_t kWdtSize = 0x60; // three watchdogs of 0x20 bytes
constexpr uint32_t kDramBase = 0x80000000u;
constexpr uint64_t kDramDecodeSize = 0x80000000ull; // to the top of the internal space

// --- SCU --------------------------------------------------------------------------------------
constexpr uint32_t kScuKey = 0x00; // protection key; reads 1 while unlocked
constexpr uint32_t kScuKeyValue = 0x5C3E91D7u;
constexpr uint32_t kScuClocks = 0x08;
constexpr uint32_t kScuMisc = 0x0C;
constexpr uint32_t kScuMemoryPll = 0x20;
constexpr uint32_t kScuStartupFlags = 0x40; // bits 7:6 show in CRTC 0xD0
constexpr uint32_t kScuStraps = 0x70;       // writing 1s sets strap bits
constexpr uint32_t kScuStrapClear = 0x7C;   // writing 1s clears strap bits
constexpr uint32_t kScu90 = 0x90;
constexpr uint32_t kScu94 = 0x94;
constexpr uint32_t kScuMemoryPllExtension = 0x160;

constexpr uint32_t kStartupRunning = 0x40; // SCU40 bit 6: the chip runs
constexpr uint32_t kStartupStarted = 0x80; // SCU40 bit 7: someone started the chip
constexpr uint32_t kStartupStateMask = kStartupRunning | kStartupStarted;
constexpr uint32_t kStartupDoneFlags = 0xC1; // SCU40 after a complete start-up

constexpr uint32_t kStrapMemoryPllAlternate = 1u << 23;
constexpr uint32_t kStrapDdr4 = 1u << 24;
constexpr uint32_t kStrapRelease14 = 1u << 25;
constexpr uint32_t kStrapWatchdogReset = 1u << 27;
constexpr uint32_t kBoardStraps = kStrapMemoryPllAlternate | kStrapRelease14 | kStrapWatchdogReset;

// --- AHBC -------------------------------------------------------------------------------------
constexpr uint32_t kAhbcKey = 0x00;
constexpr uint32_t kAhbcKeyValue = 0x3F8A62C5u;

// --- MCR --------------------------------------------------------------------------------------
constexpr uint32_t kMcrKey = 0x00; // protection key; reads 1 while unlocked
constexpr uint32_t kMcrKeyValue = 0x7B2D4E16u;
constexpr uint32_t kMcrConfig = 0x04;     // size code 1:0, cache control
constexpr uint32_t kMcrSizeTiming = 0x14; // low byte depends on the size
constexpr uint32_t kMcrPhyControl = 0x60;
constexpr uint32_t kMcrTestCommand = 0x70;
constexpr uint32_t kMcrTestSetup = 0x74;
constexpr uint32_t kMcrTestPattern = 0x7C;
constexpr uint32_t kMcrPhyDelay = 0x2C0; // delay setting in bits 15:8
constexpr uint32_t kMcrPhyVref = 0x2CC;  // reference setting in the low byte (one per lane)
constexpr uint32_t kMcrPhyStatus = 0x300;
constexpr uint32_t kMcrMargins = 0x3D0; // margins of the last test: byte 0 low side, byte 1 high

constexpr uint32_t kKeyUnlocked = 1;

constexpr uint32_t kConfigSizeCode = 0x3;
constexpr uint32_t kConfigCacheEnable = 1u << 10;
constexpr uint32_t kConfigCacheInit = 1u << 12;
constexpr uint32_t kConfigCacheReady = 1u << 19;

constexpr uint32_t kPhyBusy = 0x1;               // MCR60 bit 0, while the PHY initialises
constexpr uint32_t kPhyStart = 0x5;              // MCR60 value that starts an initialisation
constexpr uint32_t kPhyInitFailed = 0x000A0000u; // MCR300 bits after a failed initialisation

constexpr uint32_t kTestStart = 0x1;   // MCR70 bit 0 starts the test written with it
constexpr uint32_t kTestBurst = 0x40;  // burst test (clear: single-access test)
constexpr uint32_t kTestModeShift = 3; // bits 4:3: data generator of a burst test
constexpr uint32_t kTestModeMask = 0x18;
constexpr uint32_t kTestDone = 0x1000;
constexpr uint32_t kTestFailed = 0x2000;
constexpr uint32_t kTestStatus = kTestDone | kTestFailed;

constexpr uint32_t kVrefLane0 = 0xFF; // MCR2CC low byte
constexpr uint32_t kDelayShift = 8;   // MCR2C0 bits 15:8
constexpr uint32_t kDelayField = 0xFF00;

} // namespace sim::chipreg
