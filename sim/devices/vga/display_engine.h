// The display engine: what the controller scans out. It decodes the mode from the standard and
// extended CRTC, sequencer and attribute registers and reads the picture from video memory,
// through the palette DAC at 8 bits per pixel. It holds no state of its own: every call looks at
// the registers as they are now.
//   - Horizontal values are in character clocks of 8 pixels; vertical values in lines. Sync
//     positions are where the registers place them (a retrace end register holds the low bits
//     of the end: the end is the first position after the start with those bits).
//   - Packed-pixel modes (extended CRTC 0xA0 bits 6:4 set) have 8, 16 (5:6:5) or 32 (x:8:8:8)
//     bits per pixel from CRTC 0xA3; the line pitch is the offset (CRTC 0x13, 0xB0 bits 5:0) times
//     8 bytes and the start address (CRTC 0x0C, 0x0D) counts 4-byte units. Standard VGA planar
//     and text modes are decoded (bits per pixel 0) but not scanned out: they show black.
//   - No mode: VGA decoding off, the sequencer held in reset, or timing whose totals do not
//     exceed the visible part. The screen is off while sequencer 0x01 bit 5 is set or the
//     attribute controller's palette address source bit is clear. Both show black.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/devices/vga/vga_controller.h"
#include "sim/devices/vga/video_memory.h"

namespace sim {

struct DisplayMode {
  bool programmed = false;
  uint32_t width = 0, height = 0; // visible pixels and lines
  uint32_t bpp = 0;               // 8, 16 or 32; 0 for a standard VGA mode
  uint32_t pitch = 0;             // bytes from one line to the next
  uint64_t start = 0;             // byte offset of the first pixel in video memory
  uint32_t htotal = 0, hsync_start = 0, hsync_end = 0; // pixels
  uint32_t vtotal = 0, vsync_start = 0, vsync_end = 0; // lines
  bool screen_on = false;
};

// 8-bit RGB, three bytes per pixel, row 0 first, no padding.
struct ScreenPicture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

class DisplayEngine {
public:
  // The picture's size when no mode is programmed: a monitor without a signal shows black.
  static constexpr uint32_t kNoSignalWidth = 800;
  static constexpr uint32_t kNoSignalHeight = 600;

  DisplayEngine(const VgaController &vga, const VideoMemory &memory) : vga_(vga), memory_(memory) {}

  DisplayMode Mode() const;
  ScreenPicture Picture() const;

private:
  const VgaController &vga_;
  const VideoMemory &memory_;
};

} // namespace sim
