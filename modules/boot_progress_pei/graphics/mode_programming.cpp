#include "modules/boot_progress_pei/graphics/mode_programming.h"

#include "access/port_io.h"
#include "modules/boot_progress_pei/graphics/crtc_timing.h"
#include "modules/boot_progress_pei/graphics/mode_tables.h"
#include "modules/boot_progress_pei/graphics/mode_values.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/graphics/vga_dac.h"
#include "modules/boot_progress_pei/graphics/vga_ports.h"
#include "modules/boot_progress_pei/graphics/vga_regs.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
constexpr uint8_t kReplace = 0x00; // keep mask of a register replaced whole

constexpr uint32_t kPlanarBitsPerPixel = 1;
constexpr uint32_t kIndexedBitsPerPixel = 8;

constexpr uint8_t kScreenOff = SeqClockingModeRegister::ScreenOffField::kMask;
constexpr uint8_t kCrtcProtect = CrtcVerticalRetraceEndRegister::ProtectField::kMask;

void WriteAttribute(uint8_t index, uint8_t value) {
  IoWrite8(kVgaAttributePort, index);
  IoWrite8(kVgaAttributePort, value);
}

template <size_t N>
void LoadPalette(const PaletteTable<N> &palette) {
  for (size_t i = 0; i < N; ++i) {
    const PaletteEntry &e = palette.Entries[i];
    WritePaletteEntry(static_cast<uint8_t>(i), e.Red, e.Green, e.Blue);
  }
}
} // namespace

void LoadStandardRegisters(const ModeTiming &mode) {
  const StandardVgaRegisterSet &regs = *mode.StandardRegisters;
  IoWrite8(kVgaMiscOutputWrite, regs.MiscOutput);

  VgaWrite(kVgaSequencer, kSeqReset,
           SeqResetRegister().SetSynchronousRun(1).SetAsynchronousRun(1).Raw());
  for (uint8_t i = 0; i < sizeof(regs.Sequencer); ++i) {
    const uint8_t index = static_cast<uint8_t>(kSeqFirstLoaded + i);
    // The screen stays blanked until the frame buffer has been cleared.
    const uint8_t value = index == kSeqClockingMode
                              ? static_cast<uint8_t>(regs.Sequencer[i] | kScreenOff)
                              : regs.Sequencer[i];
    VgaWrite(kVgaSequencer, index, value);
  }

  VgaUpdate(kVgaCrtc, kCrtcVerticalRetraceEnd, static_cast<uint8_t>(~kCrtcProtect), 0);
  for (uint8_t i = 0; i < sizeof(regs.Crtc); ++i) {
    VgaWrite(kVgaCrtc, i, regs.Crtc[i]);
  }

  (void)IoRead8(kVgaInputStatus1); // the next write to 0x3C0 is an index
  for (uint8_t i = 0; i < sizeof(regs.Attribute); ++i) {
    WriteAttribute(i, regs.Attribute[i]);
  }
  WriteAttribute(kAttrColourSelect, 0);
  (void)IoRead8(kVgaInputStatus1);
  IoWrite8(kVgaAttributePort, AttrAddressRegister().SetPaletteAddressSource(1).Raw());

  for (uint8_t i = 0; i < sizeof(regs.Graphics); ++i) {
    VgaWrite(kVgaGraphics, i, regs.Graphics[i]);
  }
}

namespace {
void ApplyCrtcTiming(const CrtcTimingProgram &program) {
  for (const CrtcUpdate &u : program.Updates) {
    VgaUpdate(kVgaCrtc, u.Index, u.KeepMask, u.Value);
  }
}
} // namespace

void SetCrtcTiming(const ModeTiming &mode) {
  ApplyCrtcTiming(BuildCrtcTimingProgram(*mode.Timing));
}

void SetScanlineOffset(const ModeTiming &mode) {
  const uint16_t offset = ScanlineOffset(mode);
  VgaWrite(kVgaCrtc, kCrtcOffset, static_cast<uint8_t>(offset));
  VgaWrite(kVgaCrtc, kCrtcExtOffsetHigh,
           CrtcExtOffsetHighRegister().SetOffsetHigh(static_cast<uint8_t>(offset >> 8)).Raw());
}

void SetPixelClock(const ModeTiming &mode, const GraphicsDeviceState &state) {
  const PixelClockSetting *setting = PixelClockFor(state.Revision, mode.Timing->ClockIndex);
  if (setting == nullptr) {
    return;
  }
  VgaUpdate(kVgaCrtc, kCrtcExtPixelClock0, kReplace, setting->Clock0);
  VgaUpdate(kVgaCrtc, kCrtcExtPixelClock1, kReplace, setting->Clock1);
  VgaUpdate(kVgaCrtc, kCrtcExtClockControl,
            static_cast<uint8_t>(~CrtcExtClockControlRegister::ClockField::kMask),
            ClockControlBits(state.Revision, setting->Control));
}

void SetExtendedRegisters(const ModeTiming &mode, const GraphicsDeviceState &state) {
  const DepthSettings depth = DepthSettingsFor(mode.BitsPerPixel);
  VgaUpdate(kVgaCrtc, kCrtcExtModeControl,
            static_cast<uint8_t>(~CrtcExtModeControlRegister::DepthField::kMask),
            depth.ModeControlDepth);
  VgaUpdate(kVgaCrtc, kCrtcExtColourDepth, kReplace, depth.ColourDepth);
  VgaUpdate(kVgaCrtc, kCrtcExtControlA8,
            static_cast<uint8_t>(~CrtcExtControlA8Register::Control1Field::kMask), 0);

  const FifoThresholds fifo = FifoThresholdsFor(state.Revision);
  VgaWrite(kVgaCrtc, kCrtcExtFifoThresholdHigh, fifo.High);
  VgaWrite(kVgaCrtc, kCrtcExtFifoThresholdLow, fifo.Low);

  // The BMC reads the mode set from these; a planar mode leaves them as they are.
  if (mode.BitsPerPixel > kPlanarBitsPerPixel) {
    VgaWrite(kVgaCrtc, kCrtcExtModeDepthCode,
             CrtcExtModeDepthCodeRegister().SetDepth(depth.DepthCode).Raw());
    VgaWrite(kVgaCrtc, kCrtcExtModeRefreshCode, static_cast<uint8_t>(mode.Timing->RefreshCode));
    VgaWrite(kVgaCrtc, kCrtcExtModeCode, static_cast<uint8_t>(mode.Timing->ModeCode));
  }

  VgaWrite(kVgaCrtc, kCrtcExtControlA5, 0);
  IoWrite8(kVgaExtendedPortCB, 0);
  IoWrite8(kVgaExtendedPortCD, 0);
}

uint32_t LoadDefaultPalette(const ModeTiming &mode) {
  if (mode.BitsPerPixel == kPlanarBitsPerPixel) {
    LoadPalette(EgaPalette);
  } else if (mode.BitsPerPixel == kIndexedBitsPerPixel) {
    LoadPalette(BasicPalette);
  } else {
    return kNoDefaultPalette;
  }
  return kDefaultPaletteLoaded;
}

BOOT_PHASE void SetBootScreenMode(const GraphicsDeviceState &state) {
  constexpr uint32_t kModeBitsPerPixel = 8; // one byte per pixel
  const ModeTiming mode = {kScreenWidth, kScreenHeight, kModeBitsPerPixel, &StandardVgaRegisters,
                           &Timing800x600[kBootScreenTimingRow]};
  LoadStandardRegisters(mode);
  ApplyCrtcTiming(BootScreenCrtcTiming); // SetCrtcTiming(mode), computed at build time
  SetScanlineOffset(mode);
  SetPixelClock(mode, state);
  SetExtendedRegisters(mode, state);
  (void)LoadDefaultPalette(mode);
}
