// Mode-set values that come from tables and small computations: timing rows against their pixel
// clocks, clock selection by revision (and its bound), clock control bits, scan-line offset,
// depth settings, FIFO thresholds, extended defaults by revision, default palettes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <tuple>

#include "modules/boot_progress_pei/graphics/extended_crtc.h"
#include "modules/boot_progress_pei/graphics/mode_tables.h"
#include "modules/boot_progress_pei/graphics/mode_values.h"

namespace {

TEST(ModeTables, TimingRowsRunAtTheirPixelClocks) {
  // total pixels x total lines x refresh rate is the pixel clock, within 1 % (the refresh rates are
  // nominal: 60 Hz is 60.3).
  const double clocksMHz[] = {40.0, 50.0, 49.5, 56.25};
  for (size_t i = 0; i < 4; ++i) {
    const CrtcTimingRow &r = Timing800x600[i];
    const double mhz = double(r.HorizontalTotal) * r.VerticalTotal * r.RefreshRate / 1e6;
    EXPECT_NEAR(mhz, clocksMHz[i], clocksMHz[i] * 0.01) << r.RefreshRate << " Hz";
    EXPECT_EQ(r.HorizontalDisplay, 800u);
    EXPECT_EQ(r.VerticalDisplay, 600u);
    EXPECT_LT(r.HorizontalDisplay + r.HorizontalFrontPorch + r.HorizontalSyncWidth,
              r.HorizontalTotal);
    EXPECT_LT(r.VerticalDisplay + r.VerticalFrontPorch + r.VerticalSyncWidth, r.VerticalTotal);
  }
  CrtcTimingRow last = Timing800x600[4];
  EXPECT_EQ(last.RefreshRate, 0xFFu);
  last.RefreshRate = Timing800x600[3].RefreshRate;
  EXPECT_EQ(0, memcmp(&last, &Timing800x600[3], sizeof(last)));
}

TEST(ModeTables, EveryTimingRowHasAClockInBothTables) {
  for (const CrtcTimingRow &r : Timing800x600) {
    EXPECT_NE(PixelClockFor(0x40, r.ClockIndex), nullptr);
    EXPECT_NE(PixelClockFor(0x20, r.ClockIndex), nullptr);
  }
}

TEST(PixelClock, RevisionPicksTheTable) {
  const PixelClockSetting *rev40 = PixelClockFor(0x40, 4);
  ASSERT_NE(rev40, nullptr);
  EXPECT_EQ(std::tie(rev40->Clock0, rev40->Clock1, rev40->Control),
            std::make_tuple(uint8_t{0x31}, uint8_t{0x28}, uint8_t{0x73}));
  for (uint8_t revision : {0x00, 0x1F, 0x20, 0x30, 0x41, 0xFF}) {
    const PixelClockSetting *other = PixelClockFor(revision, 4);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(std::tie(other->Clock0, other->Clock1, other->Control),
              std::make_tuple(uint8_t{0xEE}, uint8_t{0x67}, uint8_t{0x01}))
        << int(revision);
  }
}

TEST(PixelClock, IndexBeyondTheRevisionsTableHasNoSetting) {
  EXPECT_NE(PixelClockFor(0x40, 25), nullptr);
  EXPECT_EQ(PixelClockFor(0x40, 26), nullptr);
  EXPECT_NE(PixelClockFor(0x30, 15), nullptr);
  EXPECT_EQ(PixelClockFor(0x30, 16), nullptr); // a row that exists only for revision 0x40
  EXPECT_EQ(PixelClockFor(0x30, 0xFFFFFFFF), nullptr);
  EXPECT_EQ(PixelClockFor(0x40, 0x80000000), nullptr);
}

TEST(PixelClock, ControlBitsLandInTheHighNibbleOnly) {
  EXPECT_EQ(ClockControlBits(0x40, 0x73), 0x70);
  EXPECT_EQ(ClockControlBits(0x40, 0x4F), 0x40);
  EXPECT_EQ(ClockControlBits(0x30, 0x01), 0x10); // bits 1:0 to 5:4
  EXPECT_EQ(ClockControlBits(0x30, 0x02), 0x20);
  EXPECT_EQ(ClockControlBits(0x30, 0x40), 0x40); // bits 7:6 stay
  EXPECT_EQ(ClockControlBits(0x30, 0xFF), 0xF0); // bits 5:2 of the setting go nowhere
  EXPECT_EQ(ClockControlBits(0x30, 0x3C), 0x00);
}

TEST(ModeValues, ScanlineOffsetIsThePitchInEightByteUnits) {
  const std::tuple<uint32_t, uint32_t, uint16_t> cases[] = {
      {800, 8, 100}, {800, 32, 400},  {800, 16, 200}, {800, 15, 200},
      {800, 1, 100}, {1024, 24, 384}, {640, 8, 80}};
  for (auto [width, bpp, offset] : cases) {
    ModeTiming mode = {width, 600, bpp, nullptr, nullptr};
    EXPECT_EQ(ScanlineOffset(mode), offset) << width << " x " << bpp;
  }
}

TEST(ModeValues, DepthSettingsByBitsPerPixel) {
  auto settings = [](uint32_t bpp) {
    DepthSettings d = DepthSettingsFor(bpp);
    return std::make_tuple(int(d.ModeControlDepth), int(d.ColourDepth), int(d.DepthCode));
  };
  EXPECT_EQ(settings(8), std::make_tuple(0x70, 0x01, 1));
  EXPECT_EQ(settings(15), std::make_tuple(0x70, 0x04, 2));
  EXPECT_EQ(settings(16), std::make_tuple(0x70, 0x04, 2));
  EXPECT_EQ(settings(32), std::make_tuple(0x70, 0x08, 3));
  for (uint32_t bpp : {0u, 1u, 4u, 24u, 64u}) {
    EXPECT_EQ(settings(bpp), std::make_tuple(0, 0, 0)) << bpp;
  }
}

TEST(ModeValues, RevisionsBefore0x20GetTheLowerFifoThresholdsAndOlderDefaults) {
  for (uint8_t revision : {0x00, 0x10, 0x1F}) {
    EXPECT_EQ(FifoThresholdsFor(revision).High, 0x3F);
    EXPECT_EQ(FifoThresholdsFor(revision).Low, 0x2F);
    EXPECT_EQ(ExtendedCrtcDefaultsFor(revision), ExtendedCrtcDefaultsPre20);
  }
  for (uint8_t revision : {0x20, 0x30, 0x40, 0xFF}) {
    EXPECT_EQ(FifoThresholdsFor(revision).High, 0x78);
    EXPECT_EQ(FifoThresholdsFor(revision).Low, 0x60);
    EXPECT_EQ(ExtendedCrtcDefaultsFor(revision), ExtendedCrtcDefaults);
  }
}

TEST(ModeTables, ExtendedCrtcTablesEndAndStayInTheExtendedRange) {
  for (const CrtcSetting *table :
       {ExtendedCrtcDefaultsPre20, ExtendedCrtcDefaults, ExtendedCrtcRev40Values}) {
    size_t n = 0;
    for (; table[n].Index != kCrtcSettingsEnd; ++n) {
      ASSERT_LT(n, 16u) << "no end marker";
      EXPECT_GE(table[n].Index, 0x80) << "a standard CRTC register in an extended table";
    }
    EXPECT_GT(n, 0u);
  }
}

TEST(ModeTables, EgaPaletteFollowsTheEgaColourBits) {
  auto rgb = [](size_t i) {
    const PaletteEntry &e = EgaPalette.Entries[i];
    return std::make_tuple(int(e.Red), int(e.Green), int(e.Blue));
  };
  EXPECT_EQ(rgb(0), std::make_tuple(0x00, 0x00, 0x00));
  EXPECT_EQ(rgb(1), std::make_tuple(0x00, 0x00, 0x2A));
  EXPECT_EQ(rgb(8), std::make_tuple(0x00, 0x00, 0x15));
  EXPECT_EQ(rgb(20), std::make_tuple(0x2A, 0x15, 0x00)); // red + secondary green: brown
  EXPECT_EQ(rgb(0x3A), std::make_tuple(0x15, 0x3F, 0x15));
  EXPECT_EQ(rgb(63), std::make_tuple(0x3F, 0x3F, 0x3F));
  std::set<std::tuple<int, int, int>> distinct;
  for (size_t i = 0; i < EgaPalette.kCount; ++i) {
    auto [r, g, b] = rgb(i);
    EXPECT_LE(std::max({r, g, b}), 0x3F) << "entry " << i << " is not a 6-bit DAC value";
    distinct.insert(rgb(i));
  }
  EXPECT_EQ(distinct.size(), 64u);
}

} // namespace
