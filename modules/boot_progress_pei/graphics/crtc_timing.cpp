#include "modules/boot_progress_pei/graphics/crtc_timing.h"

#include "modules/boot_progress_pei/graphics/mode_tables.h"
#include "modules/boot_progress_pei/graphics/vga_regs.h"

namespace {
// Horizontal values are in character clocks of 8 pixels.
constexpr unsigned kCharacterClockShift = 3;
// The registers hold the total less these counts.
constexpr uint32_t kHorizontalTotalBias = 5;
constexpr uint32_t kVerticalTotalBias = 2;
constexpr uint32_t kBorderPixels = 8;
constexpr uint32_t kBorderLines = 8;
// Width of the blank end and retrace end counters: they compare the low bits of the position.
constexpr uint16_t kHorizontalBlankEndBits = 0x7F;
constexpr uint16_t kRetraceEndBits = 0x3F;

// The timing values, each taken modulo 2^16 before its bits are placed.
enum TimingValue : uint8_t {
  HorizontalTotal,
  HorizontalDisplayEnd,
  HorizontalBlankStart,
  HorizontalBlankEnd,
  HorizontalRetraceStart,
  HorizontalRetraceEnd,
  VerticalTotal,
  VerticalRetraceStart,
  VerticalRetraceEnd,
  VerticalDisplayEnd,
  VerticalBlankStart,
  VerticalBlankEnd,
  kTimingValueCount,
  kNoValue = kTimingValueCount,
};

// Bytes that collect carried bits before they are written.
enum CarryTarget : uint8_t {
  Overflow,              // CRTC 0x07
  MaximumScanLine,       // CRTC 0x09 bit 5
  RetraceEndBlankBit,    // CRTC 0x05 bit 7
  HorizontalOverflow,    // CRTC 0xAC
  HorizontalEndOverflow, // CRTC 0xAD
  VerticalOverflow,      // CRTC 0xAE
  kCarryTargetCount,
  kNoCarry = kCarryTargetCount,
};

struct CarriedBit {
  TimingValue From;
  uint8_t FromBit;
  CarryTarget To;
  uint8_t ToBit;
};

// Where each bit goes that its own register cannot hold.
constexpr CarriedBit kCarriedBits[] = {
    {HorizontalTotal, 8, HorizontalOverflow, 0},
    {HorizontalDisplayEnd, 8, HorizontalOverflow, 2},
    {HorizontalBlankStart, 8, HorizontalOverflow, 4},
    {HorizontalBlankEnd, 5, RetraceEndBlankBit, 7},
    {HorizontalBlankEnd, 6, HorizontalEndOverflow, 0},
    {HorizontalRetraceStart, 8, HorizontalOverflow, 6},
    {HorizontalRetraceEnd, 5, HorizontalEndOverflow, 2},
    {VerticalTotal, 8, Overflow, 0},
    {VerticalTotal, 9, Overflow, 5},
    {VerticalTotal, 10, VerticalOverflow, 0},
    {VerticalRetraceStart, 8, Overflow, 2},
    {VerticalRetraceStart, 9, Overflow, 7},
    {VerticalRetraceStart, 10, VerticalOverflow, 3},
    {VerticalRetraceEnd, 4, VerticalOverflow, 5},
    {VerticalRetraceEnd, 5, VerticalOverflow, 6},
    {VerticalDisplayEnd, 8, Overflow, 1},
    {VerticalDisplayEnd, 9, Overflow, 6},
    {VerticalDisplayEnd, 10, VerticalOverflow, 1},
    {VerticalBlankStart, 8, Overflow, 3},
    {VerticalBlankStart, 9, MaximumScanLine, 5},
    {VerticalBlankStart, 10, VerticalOverflow, 2},
    {VerticalBlankEnd, 8, VerticalOverflow, 4},
};

// One write of the sequence: the register keeps KeepMask and receives the ValueBits of a timing
// value, a collected byte, and constant bits.
struct TimingWrite {
  uint8_t Index;
  uint8_t KeepMask;
  TimingValue Value;
  uint8_t ValueBits;
  CarryTarget Collected;
  uint8_t Constant;
};

constexpr uint8_t kReplace = 0x00;
constexpr uint8_t kWholeByte = 0xFF;
constexpr uint8_t kRetraceEndProtect = CrtcVerticalRetraceEndRegister::ProtectField::kMask;
constexpr uint8_t kBlankStartBit9 = CrtcMaximumScanLineRegister::VerticalBlankStartBit9Field::kMask;
constexpr uint8_t kVerticalOverflowEnable = CrtcExtVerticalOverflowRegister::EnableField::kMask;
constexpr uint8_t kHorizontalBlankEndLow = CrtcHorizontalBlankEndRegister::EndLowField::kMask;
constexpr uint8_t kHorizontalRetraceEndLow = CrtcHorizontalRetraceEndRegister::EndLowField::kMask;
constexpr uint8_t kHorizontalRetraceSkew = CrtcHorizontalRetraceEndRegister::SkewField::kMask;
constexpr uint8_t kVerticalRetraceEndLow = CrtcVerticalRetraceEndRegister::EndLowField::kMask;
constexpr uint8_t kVerticalRetraceInterrupt = CrtcVerticalRetraceEndRegister::InterruptField::kMask;

// clang-format off
constexpr TimingWrite kTimingWrites[kCrtcTimingUpdates] = {
    // Lift the write protection of CRTC 0x00 to 0x07.
    {kCrtcVerticalRetraceEnd,     static_cast<uint8_t>(~kRetraceEndProtect), kNoValue, 0, kNoCarry, 0},
    {kCrtcHorizontalTotal,        kReplace, HorizontalTotal, kWholeByte, kNoCarry, 0},
    {kCrtcHorizontalDisplayEnd,   kReplace, HorizontalDisplayEnd, kWholeByte, kNoCarry, 0},
    {kCrtcHorizontalBlankStart,   kReplace, HorizontalBlankStart, kWholeByte, kNoCarry, 0},
    {kCrtcHorizontalBlankEnd,     static_cast<uint8_t>(~kHorizontalBlankEndLow), HorizontalBlankEnd,
                                  kHorizontalBlankEndLow, kNoCarry, 0},
    {kCrtcHorizontalRetraceStart, kReplace, HorizontalRetraceStart, kWholeByte, kNoCarry, 0},
    {kCrtcHorizontalRetraceEnd,   kHorizontalRetraceSkew, HorizontalRetraceEnd, kHorizontalRetraceEndLow,
                                  RetraceEndBlankBit, 0},
    {kCrtcExtHorizontalOverflow,  kReplace, kNoValue, 0, HorizontalOverflow, 0},
    {kCrtcExtHorizontalEndOverflow, kReplace, kNoValue, 0, HorizontalEndOverflow, 0},
    {kCrtcVerticalTotal,          kReplace, VerticalTotal, kWholeByte, kNoCarry, 0},
    {kCrtcVerticalRetraceStart,   kReplace, VerticalRetraceStart, kWholeByte, kNoCarry, 0},
    {kCrtcVerticalRetraceEnd,     kVerticalRetraceInterrupt, VerticalRetraceEnd, kVerticalRetraceEndLow,
                                  kNoCarry, 0},
    {kCrtcVerticalDisplayEnd,     kReplace, VerticalDisplayEnd, kWholeByte, kNoCarry, 0},
    {kCrtcVerticalBlankStart,     kReplace, VerticalBlankStart, kWholeByte, kNoCarry, 0},
    {kCrtcVerticalBlankEnd,       kReplace, VerticalBlankEnd, kWholeByte, kNoCarry, 0},
    {kCrtcOverflow,               kReplace, kNoValue, 0, Overflow, 0},
    {kCrtcMaximumScanLine,        static_cast<uint8_t>(~kBlankStartBit9), kNoValue, 0, MaximumScanLine, 0},
    {kCrtcExtVerticalOverflow,    kReplace, kNoValue, 0, VerticalOverflow, kVerticalOverflowEnable},
    // Protect CRTC 0x00 to 0x07 again.
    {kCrtcVerticalRetraceEnd,     kWholeByte, kNoValue, 0, kNoCarry, kRetraceEndProtect},
};
// clang-format on

constexpr uint16_t CharacterClocks(uint32_t pixels) {
  return static_cast<uint16_t>(pixels >> kCharacterClockShift);
}

constexpr void ComputeTimingValues(const CrtcTimingRow &t, uint16_t (&v)[kTimingValueCount]) {
  const uint32_t hb = (t.Flags & kTimingHorizontalBorder) != 0 ? kBorderPixels : 0;
  const uint32_t vb = (t.Flags & kTimingVerticalBorder) != 0 ? kBorderLines : 0;
  const uint32_t syncStart = t.HorizontalDisplay + t.HorizontalFrontPorch + hb - 1;
  const uint32_t vsyncStart = t.VerticalDisplay + t.VerticalFrontPorch + vb - 1;

  v[HorizontalTotal] =
      static_cast<uint16_t>(CharacterClocks(t.HorizontalTotal) - kHorizontalTotalBias);
  v[HorizontalDisplayEnd] = static_cast<uint16_t>(CharacterClocks(t.HorizontalDisplay) - 1);
  v[HorizontalBlankStart] = static_cast<uint16_t>(CharacterClocks(t.HorizontalDisplay + hb) - 1);
  v[HorizontalBlankEnd] = static_cast<uint16_t>((CharacterClocks(t.HorizontalTotal - hb) - 1) &
                                                kHorizontalBlankEndBits);
  v[HorizontalRetraceStart] = CharacterClocks(syncStart);
  v[HorizontalRetraceEnd] =
      static_cast<uint16_t>(CharacterClocks(syncStart + t.HorizontalSyncWidth) & kRetraceEndBits);
  v[VerticalTotal] = static_cast<uint16_t>(t.VerticalTotal - kVerticalTotalBias);
  v[VerticalRetraceStart] = static_cast<uint16_t>(vsyncStart);
  v[VerticalRetraceEnd] =
      static_cast<uint16_t>((vsyncStart + t.VerticalSyncWidth) & kRetraceEndBits);
  v[VerticalDisplayEnd] = static_cast<uint16_t>(t.VerticalDisplay - 1);
  v[VerticalBlankStart] = static_cast<uint16_t>(t.VerticalDisplay + vb - 1);
  v[VerticalBlankEnd] = static_cast<uint16_t>(t.VerticalTotal - vb - 1);
}
constexpr CrtcTimingProgram BuildProgram(const CrtcTimingRow &row) {
  uint16_t values[kTimingValueCount] = {};
  ComputeTimingValues(row, values);

  uint8_t collected[kCarryTargetCount] = {};
  for (const CarriedBit &c : kCarriedBits) {
    const unsigned bit = (values[c.From] >> c.FromBit) & 1u;
    collected[c.To] = static_cast<uint8_t>(collected[c.To] | (bit << c.ToBit));
  }

  CrtcTimingProgram program = {};
  for (size_t i = 0; i < kCrtcTimingUpdates; ++i) {
    const TimingWrite &w = kTimingWrites[i];
    unsigned value = w.Constant;
    if (w.Value != kNoValue) {
      value |= values[w.Value] & w.ValueBits;
    }
    if (w.Collected != kNoCarry) {
      value |= collected[w.Collected];
    }
    program.Updates[i] = {w.Index, w.KeepMask, static_cast<uint8_t>(value)};
  }
  return program;
}
} // namespace

CrtcTimingProgram BuildCrtcTimingProgram(const CrtcTimingRow &row) { return BuildProgram(row); }

// Computed when the code is built: the image carries the 19 updates, not the computation.
constinit const CrtcTimingProgram BootScreenCrtcTiming =
    BuildProgram(Timing800x600[kBootScreenTimingRow]);
