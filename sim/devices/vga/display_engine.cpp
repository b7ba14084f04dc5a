#include "sim/devices/vga/display_engine.h"

#include "sim/devices/vga/vga_regs.h"

namespace sim {

using namespace vga;

namespace {
constexpr unsigned kCharacterClock = 8; // pixels
constexpr uint32_t kHorizontalTotalBias = 5;
constexpr uint32_t kVerticalTotalBias = 2;
constexpr uint32_t kPitchUnit = 8; // bytes per offset unit
constexpr uint32_t kStartUnit = 4; // bytes per start address unit
constexpr uint32_t kRetraceEndBits = 0x3F;

uint32_t Bit(uint8_t reg, unsigned bit, unsigned to) { return ((reg >> bit) & 1u) << to; }

// The end of a retrace whose end register holds the low `mask` bits of its position.
uint32_t RetraceEnd(uint32_t start, uint32_t low, uint32_t mask) {
  return start + ((low - start) & mask);
}

uint32_t BitsPerPixel(const VgaController &v) {
  if ((v.Crtc(kCrtcExtModeControl) & kCrtcExtPackedMode) == 0) {
    return 0;
  }
  switch (v.Crtc(kCrtcExtColourDepth)) {
  case 0x01:
    return 8;
  case 0x04:
    return 16;
  case 0x08:
    return 32;
  default:
    return ~0u; // a packed mode without a depth: nothing to scan out
  }
}

uint8_t Expand5(uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
uint8_t Expand6(uint32_t v) { return static_cast<uint8_t>(v << 2 | v >> 4); }
} // namespace

DisplayMode DisplayEngine::Mode() const {
  const VgaController &v = vga_;
  DisplayMode m;
  const uint8_t ah = v.Crtc(kCrtcExtHOverflow);
  const uint8_t ahe = v.Crtc(kCrtcExtHEndOverflow);
  const uint8_t av = v.Crtc(kCrtcExtVOverflow);
  const uint8_t ov = v.Crtc(kCrtcOverflow);

  const uint32_t hTotal = (v.Crtc(kCrtcHTotal) | Bit(ah, 0, 8)) + kHorizontalTotalBias;
  const uint32_t hDisplay = (v.Crtc(kCrtcHDisplayEnd) | Bit(ah, 2, 8)) + 1;
  const uint32_t hSync = v.Crtc(kCrtcHRetraceStart) | Bit(ah, 6, 8);
  const uint32_t hSyncEndLow = (v.Crtc(kCrtcHRetraceEnd) & 0x1F) | Bit(ahe, 2, 5);
  m.htotal = hTotal * kCharacterClock;
  m.width = hDisplay * kCharacterClock;
  m.hsync_start = hSync * kCharacterClock;
  m.hsync_end = RetraceEnd(hSync, hSyncEndLow, kRetraceEndBits) * kCharacterClock;

  m.vtotal =
      (v.Crtc(kCrtcVTotal) | Bit(ov, 0, 8) | Bit(ov, 5, 9) | Bit(av, 0, 10)) + kVerticalTotalBias;
  const uint32_t vDisplay =
      (v.Crtc(kCrtcVDisplayEnd) | Bit(ov, 1, 8) | Bit(ov, 6, 9) | Bit(av, 1, 10)) + 1;
  m.vsync_start = v.Crtc(kCrtcVRetraceStart) | Bit(ov, 2, 8) | Bit(ov, 7, 9) | Bit(av, 3, 10);
  const uint32_t vSyncEndLow = (v.Crtc(kCrtcVRetraceEnd) & 0x0F) | Bit(av, 5, 4) | Bit(av, 6, 5);
  m.vsync_end = RetraceEnd(m.vsync_start, vSyncEndLow, kRetraceEndBits);
  const uint8_t maxScan = v.Crtc(kCrtcMaxScanLine);
  const uint32_t linesPerRow =
      ((maxScan & kCrtcScanLinesPerRow) + 1u) * ((maxScan & kCrtcDoubleScan) ? 2u : 1u);
  m.height = vDisplay / linesPerRow;

  const uint32_t offset = v.Crtc(kCrtcOffset) | (v.Crtc(kCrtcExtOffsetHigh) & 0x3Fu) << 8;
  m.pitch = offset * kPitchUnit;
  m.start = uint64_t{(uint32_t{v.Crtc(kCrtcStartHigh)} << 8) | v.Crtc(kCrtcStartLow)} * kStartUnit;
  m.bpp = BitsPerPixel(v);

  const bool running = (v.Sequencer(kSeqReset) & kSeqRunning) == kSeqRunning;
  m.programmed = v.Enabled() && running && m.bpp != ~0u && m.htotal > m.width &&
                 m.vtotal > vDisplay && m.height > 0;
  if (m.bpp == ~0u) {
    m.bpp = 0;
  }
  m.screen_on = m.programmed && (v.Sequencer(kSeqClockingMode) & kSeqScreenOff) == 0 &&
                v.PaletteAddressSource();
  return m;
}

ScreenPicture DisplayEngine::Picture() const {
  const DisplayMode m = Mode();
  ScreenPicture p;
  p.width = m.programmed ? m.width : kNoSignalWidth;
  p.height = m.programmed ? m.height : kNoSignalHeight;
  p.rgb.assign(size_t{p.width} * p.height * 3, 0);
  if (!m.screen_on || m.bpp == 0) {
    return p;
  }
  const uint32_t bytesPerPixel = m.bpp / 8;
  const auto &palette = vga_.Dac().Palette();
  const uint8_t mask = vga_.Dac().PixelMask();
  std::vector<uint8_t> line(size_t{m.width} * bytesPerPixel);
  for (uint32_t y = 0; y < m.height; ++y) {
    memory_.ReadBytes(m.start + uint64_t{y} * m.pitch, line.data(), line.size());
    uint8_t *out = &p.rgb[size_t{y} * m.width * 3];
    for (uint32_t x = 0; x < m.width; ++x, out += 3) {
      const uint8_t *in = &line[size_t{x} * bytesPerPixel];
      if (m.bpp == 8) {
        const Rgb6 &c = palette[in[0] & mask];
        out[0] = Expand6To8(c.r);
        out[1] = Expand6To8(c.g);
        out[2] = Expand6To8(c.b);
      } else if (m.bpp == 16) {
        const uint32_t v = in[0] | uint32_t{in[1]} << 8;
        out[0] = Expand5(v >> 11);
        out[1] = Expand6((v >> 5) & 0x3F);
        out[2] = Expand5(v & 0x1F);
      } else {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
  }
  return p;
}

} // namespace sim
