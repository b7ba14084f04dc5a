// The display engine on its own: the mode decoded from the standard and extended registers
// (overflow bits included), pixels read through the DAC or as direct colour, and black when the
// screen is off or nothing is programmed.
#include <gtest/gtest.h>

#include "access/port_io.h"
#include "sim/core/machine.h"
#include "sim/devices/vga/display_engine.h"
#include "sim/devices/vga/video_ram.h"

namespace {

struct Engine {
  sim::Machine m;
  sim::VgaController vga{m.bus, "vga"};
  sim::VideoRam ram{m.bus, 8u << 20, "video ram"};
  sim::DisplayEngine engine{vga, ram};
  Engine() {
    for (const auto &p : vga.PortLeaves()) {
      m.bus.Root(sim::Space::Io).AddSubregion(p.port, p.leaf);
    }
    IoWrite8(0x3C3, 0x01);
    IoWrite8(0x3C2, 0x01);
    Crtc(0x80, 0xA8);
  }
  void Seq(uint8_t index, uint8_t value) {
    IoWrite8(0x3C4, index);
    IoWrite8(0x3C5, value);
  }
  void Crtc(uint8_t index, uint8_t value) {
    IoWrite8(0x3D4, index);
    IoWrite8(0x3D5, value);
  }
  void PaletteSource() {
    (void)IoRead8(0x3DA);
    IoWrite8(0x3C0, 0x20);
  }
  // 1280 x 1024 (total 1688 x 1066, syncs at 1328-1440 and 1024-1027), every overflow bit that
  // these values need, the given depth and pitch.
  void Program1280x1024(uint8_t depthA3, uint16_t offset) {
    const std::pair<uint8_t, uint8_t> regs[] = {
        {0x00, 0xCE},
        {0x01, 0x9F},
        {0x04, 0xA6},
        {0x05, 0x14},
        {0xAC, 0x00},
        {0xAD, 0x04}, // retrace end bit 5
        {0x06, 0x28},
        {0x07, 0x42}, // display end bits 8 and 9
        {0x10, 0x00},
        {0x11, 0x03},
        {0x12, 0xFF},
        {0xAE, 0x89}, // total bit 10, retrace start bit 10
        {0x09, 0x00},
        {0x0C, 0x01},
        {0x0D, 0x00},
        {0x13, static_cast<uint8_t>(offset)},
        {0xB0, static_cast<uint8_t>(offset >> 8)},
        {0xA0, 0x70},
        {0xA3, depthA3},
    };
    for (const auto &[index, value] : regs) {
      Crtc(index, value);
    }
    Seq(0x00, 0x03);
    Seq(0x01, 0x01);
    PaletteSource();
  }
  const uint8_t *Rgb(const sim::ScreenPicture &p, uint32_t x, uint32_t y) {
    return &p.rgb[(size_t{y} * p.width + x) * 3];
  }
};

TEST(DisplayEngine, DecodesTimingDepthPitchAndStartFromStandardAndExtendedRegisters) {
  Engine e;
  e.Program1280x1024(0x08, 640);
  const sim::DisplayMode m = e.engine.Mode();
  ASSERT_TRUE(m.programmed);
  EXPECT_EQ(m.width, 1280u);
  EXPECT_EQ(m.height, 1024u);
  EXPECT_EQ(m.htotal, 1688u);
  EXPECT_EQ(m.hsync_start, 1328u);
  EXPECT_EQ(m.hsync_end, 1440u);
  EXPECT_EQ(m.vtotal, 1066u);
  EXPECT_EQ(m.vsync_start, 1024u);
  EXPECT_EQ(m.vsync_end, 1027u);
  EXPECT_EQ(m.bpp, 32u);
  EXPECT_EQ(m.pitch, 5120u);
  EXPECT_EQ(m.start, 1024u);
  EXPECT_TRUE(m.screen_on);

  // 32 bits per pixel: blue, green, red, unused, from the start address on.
  const uint64_t at = 1024 + 2 * 5120 + 1 * 4;
  e.ram.Data()[at] = 0x10;
  e.ram.Data()[at + 1] = 0x20;
  e.ram.Data()[at + 2] = 0x30;
  const sim::ScreenPicture p = e.engine.Picture();
  ASSERT_EQ(p.width, 1280u);
  ASSERT_EQ(p.height, 1024u);
  EXPECT_EQ(e.Rgb(p, 1, 2)[0], 0x30);
  EXPECT_EQ(e.Rgb(p, 1, 2)[1], 0x20);
  EXPECT_EQ(e.Rgb(p, 1, 2)[2], 0x10);

  // Double scanning halves the visible lines.
  e.Crtc(0x09, 0x80);
  EXPECT_EQ(e.engine.Mode().height, 512u);
}

TEST(DisplayEngine, EightBitPixelsGoThroughThePixelMaskAndTheDac) {
  Engine e;
  e.Program1280x1024(0x01, 160);
  EXPECT_EQ(e.engine.Mode().pitch, 1280u);
  IoWrite8(0x3C8, 7);
  for (uint8_t v : {0x3F, 0x00, 0x20}) {
    IoWrite8(0x3C9, v);
  }
  IoWrite8(0x3C6, 0x0F);
  e.ram.Data()[1024 + 4 * 1280 + 3] = 0x17; // masked to entry 7
  const sim::ScreenPicture p = e.engine.Picture();
  EXPECT_EQ(e.Rgb(p, 3, 4)[0], 0xFF);
  EXPECT_EQ(e.Rgb(p, 3, 4)[1], 0x00);
  EXPECT_EQ(e.Rgb(p, 3, 4)[2], 0x82);
  EXPECT_EQ(e.Rgb(p, 2, 4)[0], 0x00); // entry 0: black
}

TEST(DisplayEngine, NoModeScreenOffOrTheCpuOwningThePaletteShowBlack) {
  Engine e;
  const auto black = [](const sim::ScreenPicture &p) {
    for (uint8_t v : p.rgb) {
      if (v != 0) {
        return false;
      }
    }
    return true;
  };
  std::fill(e.ram.Data(), e.ram.Data() + e.ram.Size(), 0xFF);
  IoWrite8(0x3C8, 0xFF);
  for (int i = 0; i < 3; ++i) {
    IoWrite8(0x3C9, 0x3F);
  }
  EXPECT_FALSE(e.engine.Mode().programmed); // the sequencer is still held in reset
  sim::ScreenPicture p = e.engine.Picture();
  EXPECT_EQ(p.width, 800u);
  EXPECT_EQ(p.height, 600u);
  EXPECT_TRUE(black(p));

  e.Program1280x1024(0x01, 160);
  EXPECT_FALSE(black(e.engine.Picture()));
  e.Seq(0x01, 0x21); // screen off
  EXPECT_FALSE(e.engine.Mode().screen_on);
  EXPECT_TRUE(black(e.engine.Picture()));
  e.Seq(0x01, 0x01);
  (void)IoRead8(0x3DA);
  IoWrite8(0x3C0, 0x00); // palette address source cleared
  EXPECT_TRUE(black(e.engine.Picture()));
  e.PaletteSource();
  e.Crtc(0xA3, 0x02); // a packed mode without a depth the engine knows
  EXPECT_FALSE(e.engine.Mode().programmed);
  e.Crtc(0xA3, 0x01);
  IoWrite8(0x3C3, 0x00); // VGA decoding off
  EXPECT_FALSE(e.engine.Mode().programmed);
}

} // namespace
