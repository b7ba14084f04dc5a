#include "modules/boot_progress_pei/graphics/mode_values.h"

#include "modules/boot_progress_pei/graphics/controller_revision.h"
#include "modules/boot_progress_pei/graphics/vga_regs.h"

namespace {
constexpr uint32_t kBitsPerByte = 8;
constexpr uint32_t kOffsetUnitBytes = 8;

// Revision 0x40: the control byte's bits 7:4 are the clock bits.
constexpr unsigned kRev40ClockShift = 4;
// Other revisions: control bits 1:0 select, bits 7:6 range.
constexpr unsigned kSelectShift = 0;
constexpr uint8_t kSelectBits = 0x03;
constexpr unsigned kRangeShift = 6;
constexpr uint8_t kRangeBits = 0x03;

constexpr uint8_t kModeControlDepthOn = 0x7; // mode control bits 6:4 for every packed depth
constexpr uint8_t kColourDepth8 = 0x01;
constexpr uint8_t kColourDepth16 = 0x04;
constexpr uint8_t kColourDepth32 = 0x08;
constexpr uint8_t kDepthCode8 = 1;
constexpr uint8_t kDepthCode16 = 2;
constexpr uint8_t kDepthCode32 = 3;

constexpr FifoThresholds kFifoThresholdsPre20 = {0x3F, 0x2F};
constexpr FifoThresholds kFifoThresholds = {0x78, 0x60};
} // namespace

uint16_t ScanlineOffset(const ModeTiming &mode) {
  const uint32_t bytesPerPixel = (mode.BitsPerPixel + kBitsPerByte - 1) / kBitsPerByte;
  return static_cast<uint16_t>(bytesPerPixel * mode.Width / kOffsetUnitBytes);
}

const PixelClockSetting *PixelClockFor(uint8_t revision, uint32_t clockIndex) {
  if (revision == kControllerRevision40) {
    return clockIndex < kPixelClockRowsRev40 ? &PixelClockTableRev40[clockIndex] : nullptr;
  }
  return clockIndex < kPixelClockRowsDefault ? &PixelClockTableDefault[clockIndex] : nullptr;
}

uint8_t ClockControlBits(uint8_t revision, uint8_t control) {
  CrtcExtClockControlRegister reg;
  if (revision == kControllerRevision40) {
    reg.SetClock(control >> kRev40ClockShift);
  } else {
    reg.SetClockSelect((control >> kSelectShift) & kSelectBits)
        .SetClockRange((control >> kRangeShift) & kRangeBits);
  }
  return reg.Raw();
}

DepthSettings DepthSettingsFor(uint32_t bitsPerPixel) {
  const uint8_t on = CrtcExtModeControlRegister().SetDepth(kModeControlDepthOn).Raw();
  switch (bitsPerPixel) {
  case 8:
    return {on, kColourDepth8, kDepthCode8};
  case 15:
  case 16:
    return {on, kColourDepth16, kDepthCode16};
  case 32:
    return {on, kColourDepth32, kDepthCode32};
  default: // 1 bit per pixel and anything unrecognised: planar, no packed depth
    return {0, 0, 0};
  }
}

FifoThresholds FifoThresholdsFor(uint8_t revision) {
  return revision < kControllerRevision20 ? kFifoThresholdsPre20 : kFifoThresholds;
}
