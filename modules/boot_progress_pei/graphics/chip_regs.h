// Registers of the BMC chip behind the display controller, as the host reaches them through the
// register window in the controller's second memory BAR. The chip's internal bus holds the memory
// controller and its DDR PHY (MCR), the system control unit (SCU), the bus controller (AHBC), three
// watchdogs (WDT) and the chip's own DRAM. Registers are named by block and offset (SCU70 is
// internal address 0x1E6E2070); all are 32 bits wide.
#pragma once

#include <stdint.h>

#include "access/register.h"

// --- Register window in BAR1 ------------------------------------------------------------------
constexpr uint32_t kWindowEnableOffset = 0xF000;    // written kWindowEnable before every access
constexpr uint32_t kWindowBaseOffset = 0xF004;      // internal address bits 31:16 of the aperture
constexpr uint32_t kWindowApertureOffset = 0x10000; // 64 KiB data aperture
constexpr uint32_t kWindowEnable = 1;
constexpr uint32_t kWindowPageMask = 0xFFFF0000u;       // part of an address that selects the page
constexpr uint32_t kWindowPageOffsetMask = 0x0000FFFFu; // part that indexes the aperture

// --- Blocks on the internal bus ---------------------------------------------------------------
constexpr uint32_t kMcrBase = 0x1E6E0000u;
constexpr uint32_t kScuBase = 0x1E6E2000u;
constexpr uint32_t kAhbcBase = 0x1E600000u;
constexpr uint32_t kWdtBase = 0x1E785000u; // three watchdogs of 0x20 bytes each
constexpr uint32_t kDramBase = 0x80000000u;

// --- Protection keys --------------------------------------------------------------------------
constexpr uint32_t kAhbcUnlockKey = 0x3F8A62C5u;
constexpr uint32_t kScuUnlockKey = 0x5C3E91D7u;
constexpr uint32_t kMcrUnlockKey = 0x7B2D4E16u;
constexpr uint32_t kKeyUnlocked = 1; // SCU00 and MCR00 read 1 once their key has been taken

// --- AHBC -------------------------------------------------------------------------------------
constexpr uint32_t AHBC00 = kAhbcBase + 0x00; // protection key
constexpr uint32_t AHBC84 = kAhbcBase + 0x84;
constexpr uint32_t AHBC88 = kAhbcBase + 0x88;

// --- SCU --------------------------------------------------------------------------------------
constexpr uint32_t SCU00 = kScuBase + 0x00; // protection key; reads kKeyUnlocked when unlocked
constexpr uint32_t SCU08 = kScuBase + 0x08;
constexpr uint32_t SCU0C = kScuBase + 0x0C;
constexpr uint32_t SCU20 = kScuBase + 0x20; // memory PLL setting
constexpr uint32_t SCU40 = kScuBase + 0x40; // start-up flags
constexpr uint32_t SCU70 = kScuBase + 0x70; // hardware straps; a write sets the bits written
constexpr uint32_t SCU7C = kScuBase + 0x7C; // strap clear: a write clears those SCU70 bits
constexpr uint32_t SCU90 = kScuBase + 0x90;
constexpr uint32_t SCU94 = kScuBase + 0x94;
constexpr uint32_t SCU160 = kScuBase + 0x160; // memory PLL extension for the alternate setting

// SCU70 (read) and SCU7C (write): the straps the start-up consults.
struct ScuStraps : RegisterValue<ScuStraps, uint32_t> {
  REG_FIELD(27, 27, WatchdogReset);      // start-up resets the chip through the first watchdog
  REG_FIELD(25, 25, ReleaseStrap14);     // start-up clears strap bit 14 before DRAM bring-up
  REG_FIELD(24, 24, Ddr4);               // DRAM is DDR4 (clear: DDR3)
  REG_FIELD(23, 23, MemoryPllAlternate); // memory PLL takes the alternate (SCU160) setting
  REG_FIELD(14, 14, Strap14);
};

constexpr uint32_t kScu08StartupClocks = 0x00000073u; // ORed into SCU08 before DRAM bring-up
constexpr uint32_t kScu0cStartupClear = 0x06000000u;  // SCU0C bits 26:25, cleared at the end
constexpr uint32_t kScu0cStartupSet = 0x10000000u;    // SCU0C bit 28, set at the end
constexpr uint32_t kScu40DramDone = 0x00000041u;      // ORed into SCU40 once the DRAM passed
constexpr uint32_t kScu40StartupDone = 0x000000C1u;   // SCU40 after a completed start-up
constexpr uint32_t kScu90Startup = 0x20000000u;
constexpr uint32_t kScu94Startup = 0x00004000u;
constexpr uint32_t kScu20MemoryPll = 0x93002400u;          // memory PLL, default reference
constexpr uint32_t kScu20MemoryPllAlternate = 0x930023E0u; // memory PLL, alternate reference
constexpr uint32_t kScu160MemoryPllAlternate = 0x00011320u;

// --- WDT: watchdog n (0-2) occupies 0x20 bytes from kWdtBase + 0x20 * n -----------------------
constexpr uint32_t WDT04 = kWdtBase + 0x04; // first watchdog: reload value
constexpr uint32_t WDT08 = kWdtBase + 0x08; // first watchdog: restart
constexpr uint32_t WDT0C = kWdtBase + 0x0C; // first watchdog: control
constexpr uint32_t WDT1C = kWdtBase + 0x1C; // first watchdog: what its expiry resets
constexpr uint32_t WDT2C = kWdtBase + 0x2C; // second watchdog: control
constexpr uint32_t WDT4C = kWdtBase + 0x4C; // third watchdog: control

constexpr uint32_t kWdtResetEverything = 0xFFFFFFFFu;
constexpr uint32_t kWdtShortReload = 0x00000010u; // expires a few ticks after the restart
constexpr uint32_t kWdtRestartKey = 0x00004755u;
constexpr uint32_t kWdtEnableWithReset = 0x00000013u;
constexpr uint32_t kWdtDisabled = 0;

// --- MCR: memory controller, DDR PHY and test engine ------------------------------------------
constexpr uint32_t Mcr(uint32_t offset) { return kMcrBase + offset; }

constexpr uint32_t MCR00 = Mcr(0x00); // protection key; reads kKeyUnlocked when unlocked
constexpr uint32_t MCR04 = Mcr(0x04); // configuration: size code, cache control
constexpr uint32_t MCR08 = Mcr(0x08);
constexpr uint32_t MCR0C = Mcr(0x0C);
constexpr uint32_t MCR10 = Mcr(0x10);
constexpr uint32_t MCR14 = Mcr(0x14); // low byte: size-dependent timing
constexpr uint32_t MCR18 = Mcr(0x18);
constexpr uint32_t MCR1C = Mcr(0x1C);
constexpr uint32_t MCR20 = Mcr(0x20);
constexpr uint32_t MCR24 = Mcr(0x24);
constexpr uint32_t MCR2C = Mcr(0x2C);
constexpr uint32_t MCR30 = Mcr(0x30);
constexpr uint32_t MCR34 = Mcr(0x34); // DRAM initialisation control
constexpr uint32_t MCR38 = Mcr(0x38);
constexpr uint32_t MCR40 = Mcr(0x40);
constexpr uint32_t MCR44 = Mcr(0x44);
constexpr uint32_t MCR48 = Mcr(0x48);
constexpr uint32_t MCR4C = Mcr(0x4C);
constexpr uint32_t MCR50 = Mcr(0x50);
constexpr uint32_t MCR60 = Mcr(0x60); // PHY initialisation control and busy
constexpr uint32_t MCR70 = Mcr(0x70); // test engine command and status
constexpr uint32_t MCR74 = Mcr(0x74); // test engine configuration
constexpr uint32_t MCR7C = Mcr(0x7C); // test engine configuration
constexpr uint32_t MCR88 = Mcr(0x88);
constexpr uint32_t MCR8C = Mcr(0x8C);
constexpr uint32_t MCR120 = Mcr(0x120);
constexpr uint32_t MCR200 = Mcr(0x200);
constexpr uint32_t MCR204 = Mcr(0x204);
constexpr uint32_t MCR208 = Mcr(0x208);
constexpr uint32_t MCR20C = Mcr(0x20C);
constexpr uint32_t MCR210 = Mcr(0x210);
constexpr uint32_t MCR214 = Mcr(0x214);
constexpr uint32_t MCR218 = Mcr(0x218);
constexpr uint32_t MCR220 = Mcr(0x220);
constexpr uint32_t MCR228 = Mcr(0x228);
constexpr uint32_t MCR230 = Mcr(0x230);
constexpr uint32_t MCR240 = Mcr(0x240);
constexpr uint32_t MCR244 = Mcr(0x244);
constexpr uint32_t MCR248 = Mcr(0x248);
constexpr uint32_t MCR24C = Mcr(0x24C);
constexpr uint32_t MCR290 = Mcr(0x290);
constexpr uint32_t MCR2A8 = Mcr(0x2A8);
constexpr uint32_t MCR2B0 = Mcr(0x2B0);
constexpr uint32_t MCR2C0 = Mcr(0x2C0); // PHY setting trained by the range search
constexpr uint32_t MCR2C4 = Mcr(0x2C4);
constexpr uint32_t MCR2C8 = Mcr(0x2C8);
constexpr uint32_t MCR2CC = Mcr(0x2CC); // PHY setting trained by the margin search
constexpr uint32_t MCR2E0 = Mcr(0x2E0);
constexpr uint32_t MCR2E4 = Mcr(0x2E4);
constexpr uint32_t MCR2E8 = Mcr(0x2E8);
constexpr uint32_t MCR2EC = Mcr(0x2EC);
constexpr uint32_t MCR2F0 = Mcr(0x2F0);
constexpr uint32_t MCR2F4 = Mcr(0x2F4);
constexpr uint32_t MCR2F8 = Mcr(0x2F8);
constexpr uint32_t MCR300 = Mcr(0x300); // PHY status
constexpr uint32_t MCR3D0 = Mcr(0x3D0); // training margins, one byte per lane

// MCR04: configuration.
struct McrConfig : RegisterValue<McrConfig, uint32_t> {
  REG_FIELD(19, 19, CacheReady); // set by the controller when its cache is initialised
  REG_FIELD(12, 12, CacheInit);  // starts the cache initialisation
  REG_FIELD(10, 10, CacheEnable);
  REG_FIELD(1, 0, SizeCode); // 0-3: 128 MiB to 1 GiB
};
constexpr uint32_t kMcr04StartupDone = 0x08300000u; // ORed into MCR04 once the DRAM passed
constexpr uint32_t kMcr88StartupDone = 0x20161229u; // written to MCR88 last

// MCR14: its low byte is the size-dependent timing from the parameter table.
struct McrSizeTiming : RegisterValue<McrSizeTiming, uint32_t> {
  REG_FIELD(7, 0, SizeByte);
};

// MCR34 values along the sequence.
constexpr uint32_t kMcr34Reset = 0x00020080u;
constexpr uint32_t kMcr34Idle = 0x00020000u;
constexpr uint32_t kMcr34Ddr3Start = 0x00020091u;
constexpr uint32_t kMcr34Ddr4Start = 0x0001A991u;
constexpr uint32_t kMcr34Running = 0x0001AF93u;

// MCR0C values along the sequence.
constexpr uint32_t kMcr0cOff = 0;
constexpr uint32_t kMcr0cTraining = 0x00005C01u; // the setting each training test runs under
constexpr uint32_t kMcr0cRunning = 0x42AA5C81u;

constexpr uint32_t kMcr2cForcedBits = 0x00000100u; // set on top of the parameter word

// MCR60: PHY initialisation.
struct PhyControl : RegisterValue<PhyControl, uint32_t> {
  REG_FIELD(0, 0, Busy); // stays set while the PHY initialises
};
constexpr uint32_t kPhyStop = 0x00000000u;
constexpr uint32_t kPhyStart = 0x00000005u;
constexpr uint32_t kPhyFinish = 0x00000006u;

// MCR300: PHY status after an initialisation.
struct PhyStatus : RegisterValue<PhyStatus, uint32_t> {
  REG_FIELD(19, 19, InitErrorHigh);
  REG_FIELD(17, 17, InitErrorLow);
  constexpr bool InitFailed() const { return InitErrorHigh() != 0 || InitErrorLow() != 0; }
};

// MCR70: test engine. Written 0 to stop it, then a command; read for done and failed.
struct TestEngine : RegisterValue<TestEngine, uint32_t> {
  REG_FIELD(13, 13, Failed);
  REG_FIELD(12, 12, Done);
  REG_FIELD(4, 3, DataMode); // data generator of the burst test, 0-3
};
constexpr uint32_t kTestEngineStop = 0;
constexpr uint32_t kTestEngineBurst = 0x000000C1u; // with DataMode 0
constexpr uint32_t kTestEngineSingle = 0x00000085u;
constexpr uint32_t kMcr74TestSetup = 0x0000FFFFu;
constexpr uint32_t kMcr7cTestSetup = 0xFF00FF00u;

// MCR2CC: one setting per byte lane; training gives both lanes the same value.
struct LaneSetting : RegisterValue<LaneSetting, uint32_t> {
  REG_FIELD(15, 8, Lane1);
  REG_FIELD(7, 0, Lane0);
};

// MCR2C0: the trained setting in bits 15:8 over a fixed control byte.
struct PhyDelaySetting : RegisterValue<PhyDelaySetting, uint32_t> {
  REG_FIELD(15, 8, Delay);
  REG_FIELD(7, 0, Control);
};
constexpr uint32_t kMcr2c0Control = 0x06;
constexpr uint32_t kMcr2c0MarginSearchDelay = 0x1C; // Delay while the margin search runs

// MCR3D0: margin of each byte lane after a passing training test. The lane-1 field is read as
// everything above bit 7; the register is sixteen bits wide and its upper half reads 0.
struct TrainingMargins : RegisterValue<TrainingMargins, uint32_t> {
  REG_FIELD(31, 8, Lane1);
  REG_FIELD(7, 0, Lane0);
};

// --- Start-up state seen from the host: extended CRTC register 0xD0 -------------------------
constexpr uint8_t kCrtcChipState = 0xD0;
struct CrtcChipState : RegisterValue<CrtcChipState, uint8_t> {
  REG_FIELD(7, 6, Started); // 0: nobody has started the chip
  REG_FIELD(6, 6, Running); // the chip runs (its DRAM is up)
};
