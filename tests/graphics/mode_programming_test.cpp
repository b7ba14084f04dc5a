// The mode programming against the VGA controller model: the timing as the registers hold it
// and as the display engine decodes it (through the write protection the sequence lifts and
// restores), the depths with and without a default palette, and a clock index the table lacks.
#include <gtest/gtest.h>

#include "modules/boot_progress_pei/graphics/mode_programming.h"
#include "modules/boot_progress_pei/graphics/mode_tables.h"
#include "tests/graphics/display_board.h"

namespace {

using test::DisplayBoard;

ModeTiming Mode(const CrtcTimingRow &row, uint32_t bitsPerPixel = 8) {
  return {800, 600, bitsPerPixel, &StandardVgaRegisters, &row};
}

TEST(ModeProgramming, SixtyHertzTimingIsInTheRegistersWithTheProtectionBackOn) {
  DisplayBoard b;
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  const std::pair<uint8_t, uint8_t> exact[] = {
      {0x00, 0x7F}, {0x01, 0x63}, {0x02, 0x63}, {0x04, 0x68}, {0xAC, 0x00}, {0xAD, 0x04},
      {0x06, 0x72}, {0x10, 0x58}, {0x12, 0x57}, {0x15, 0x57}, {0x16, 0x73}, {0x07, 0xE0},
      {0xAE, 0xA0}, {0x13, 0x64}, {0xB0, 0x00}, {0xA3, 0x01}};
  for (const auto &[index, value] : exact) {
    EXPECT_EQ(b.Crtc(index), value) << std::hex << int(index);
  }
  EXPECT_EQ(b.Crtc(0x03) & 0x1F, 0x03);
  EXPECT_EQ(b.Crtc(0x05) & 0x9F, 0x18);
  EXPECT_EQ(b.Crtc(0x11), 0x8C);
  EXPECT_EQ(b.Crtc(0x09) & 0x20, 0x20);
  const sim::DisplayMode m = b.board.display.Mode();
  EXPECT_EQ(m.htotal, 1056u);
  EXPECT_EQ(m.hsync_start, 832u); // the register holds (800 + 40 - 1) / 8 character clocks
  EXPECT_EQ(m.hsync_end, 960u);
  EXPECT_EQ(m.vtotal, 628u);
  EXPECT_EQ(m.vsync_start, 600u);
  EXPECT_EQ(m.vsync_end, 604u);
  EXPECT_EQ(m.pitch, 800u);
}

TEST(ModeProgramming, SeventyTwoHertzAndTheBordersReprogramAProtectedTiming) {
  DisplayBoard b;
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  SetCrtcTiming(Mode(Timing800x600[1]));
  EXPECT_EQ(b.Crtc(0x00), 0x7D);
  EXPECT_EQ(b.Crtc(0x03) & 0x1F, 0x01);
  EXPECT_EQ(b.Crtc(0x04), 0x6A);
  EXPECT_EQ(b.Crtc(0x05) & 0x1F, 0x19);
  EXPECT_EQ(b.Crtc(0x06), 0x98);
  EXPECT_EQ(b.Crtc(0x11) & 0x0F, 0x02);
  EXPECT_EQ(b.Crtc(0xAE), 0x80);
  sim::DisplayMode m = b.board.display.Mode();
  EXPECT_EQ(m.htotal, 1040u);
  EXPECT_EQ(m.vtotal, 666u);
  EXPECT_EQ(m.hsync_start, 848u);
  EXPECT_EQ(m.hsync_end, 968u);
  EXPECT_EQ(m.vsync_start, 636u);
  EXPECT_EQ(m.vsync_end, 642u);

  CrtcTimingRow bordered = Timing800x600[0];
  bordered.Flags |= kTimingHorizontalBorder | kTimingVerticalBorder;
  SetCrtcTiming(Mode(bordered));
  EXPECT_EQ(b.Crtc(0x02), 0x64);        // blank start 8 pixels right
  EXPECT_EQ(b.Crtc(0x03) & 0x1F, 0x02); // blank end 8 pixels left
  EXPECT_EQ(b.Crtc(0x15), 0x5F);
  EXPECT_EQ(b.Crtc(0x16), 0x6B);
  m = b.board.display.Mode();
  EXPECT_EQ(m.hsync_start, 840u);
  EXPECT_EQ(m.hsync_end, 968u);
  EXPECT_EQ(m.vsync_start, 608u);
  EXPECT_EQ(m.vsync_end, 612u);
  EXPECT_EQ(m.width, 800u); // the visible area stays
  EXPECT_EQ(m.height, 600u);
}

TEST(ModeProgramming, DepthOneLoadsTheEgaPaletteAndDepth32None) {
  DisplayBoard b;
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  const uint64_t entries = b.Vga().Dac().EntryWrites();
  const ModeTiming planar = Mode(Timing800x600[0], 1);
  SetScanlineOffset(planar);
  SetExtendedRegisters(planar, b.state);
  EXPECT_EQ(LoadDefaultPalette(planar), kDefaultPaletteLoaded);
  EXPECT_EQ(b.Crtc(0xA0) & 0x70, 0);
  EXPECT_EQ(b.Crtc(0xA3), 0x00);
  EXPECT_EQ(b.Crtc(0x8C), 0x10); // the mode codes of the 8-bit mode are not rewritten
  EXPECT_EQ(b.Crtc(0x8E), 0x30);
  EXPECT_EQ(b.Vga().Dac().EntryWrites(), entries + 64);
  const auto &palette = b.Vga().Dac().Palette();
  EXPECT_EQ(palette[1], (sim::Rgb6{0x00, 0x00, 0x2A}));
  EXPECT_EQ(palette[8], (sim::Rgb6{0x00, 0x00, 0x15}));
  EXPECT_EQ(palette[63], (sim::Rgb6{0x3F, 0x3F, 0x3F}));
  EXPECT_EQ(b.board.display.Mode().bpp, 0u); // a standard VGA mode

  const ModeTiming direct = Mode(Timing800x600[0], 32);
  SetScanlineOffset(direct);
  SetExtendedRegisters(direct, b.state);
  EXPECT_EQ(LoadDefaultPalette(direct), kNoDefaultPalette);
  EXPECT_EQ(b.Vga().Dac().EntryWrites(), entries + 64);
  EXPECT_EQ(b.Crtc(0x13), 0x90);
  EXPECT_EQ(b.Crtc(0xB0), 0x01);
  EXPECT_EQ(b.Crtc(0xA3), 0x08);
  EXPECT_EQ(b.Crtc(0x8C), 0x30);
  const sim::DisplayMode m = b.board.display.Mode();
  EXPECT_EQ(m.bpp, 32u);
  EXPECT_EQ(m.pitch, 3200u);
}

TEST(ModeProgramming, AClockIndexBeyondTheRevisionsTableLeavesTheClockAsItWas) {
  for (const auto &[revision, last] : {std::pair{0x20, 15u}, std::pair{0x40, 25u}}) {
    DisplayBoard b(R"({"revision": )" + std::to_string(revision) + "}");
    ASSERT_EQ(b.Enable(), EFI_SUCCESS);
    CrtcTimingRow row = Timing800x600[0];
    row.ClockIndex = last;
    SetPixelClock(Mode(row), b.state);
    const uint8_t c0 = b.Crtc(0xC0), c1 = b.Crtc(0xC1), bb = b.Crtc(0xBB);
    EXPECT_EQ(c0, revision == 0x40 ? 0x38 : 0x6A); // the table's last row
    row.ClockIndex = last + 1;
    SetPixelClock(Mode(row), b.state);
    row.ClockIndex = 0xFFFFFFFF;
    SetPixelClock(Mode(row), b.state);
    EXPECT_EQ(b.Crtc(0xC0), c0);
    EXPECT_EQ(b.Crtc(0xC1), c1);
    EXPECT_EQ(b.Crtc(0xBB), bb);
  }
}

} // namespace
