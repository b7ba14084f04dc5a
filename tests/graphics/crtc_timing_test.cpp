// The CRTC timing as the masked updates that load it: the registers, keep masks and values of
// the 800 x 600 rows, the border flags, and where every bit above a register's width ends up.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "modules/boot_progress_pei/graphics/crtc_timing.h"
#include "modules/boot_progress_pei/graphics/mode_tables.h"

namespace {

constexpr CrtcTimingRow k60Hz = {1056, 800, 40, 128, 628, 600, 1, 4, 4, 0x01, 60, 2, 0x30};

// The registers as the updates leave them, starting from `initial` in every register.
std::map<uint8_t, uint8_t> Apply(const CrtcTimingProgram &p, uint8_t initial = 0x00) {
  std::map<uint8_t, uint8_t> regs;
  for (const CrtcUpdate &u : p.Updates) {
    uint8_t &reg = regs.try_emplace(u.Index, initial).first->second;
    reg = static_cast<uint8_t>((reg & u.KeepMask) | u.Value);
  }
  return regs;
}

TEST(CrtcTiming, SixtyHertzRowWritesEveryRegisterInOrder) {
  // The boot screen's program is computed when the code is built; it must be this one too.
  ASSERT_EQ(0, memcmp(&Timing800x600[kBootScreenTimingRow], &k60Hz, sizeof(k60Hz)));
  for (const CrtcTimingProgram &p : {BuildCrtcTimingProgram(k60Hz), BootScreenCrtcTiming}) {
    const std::vector<std::tuple<int, int, int>> expected = {
        {0x11, 0x7F, 0x00}, // unprotect
        {0x00, 0x00, 0x7F}, {0x01, 0x00, 0x63}, {0x02, 0x00, 0x63}, {0x03, 0xE0, 0x03},
        {0x04, 0x00, 0x68}, {0x05, 0x60, 0x18}, {0xAC, 0x00, 0x00}, {0xAD, 0x00, 0x04},
        {0x06, 0x00, 0x72}, {0x10, 0x00, 0x58}, {0x11, 0x70, 0x0C}, {0x12, 0x00, 0x57},
        {0x15, 0x00, 0x57}, {0x16, 0x00, 0x73}, {0x07, 0x00, 0xE0}, {0x09, 0xDF, 0x20},
        {0xAE, 0x00, 0xA0}, {0x11, 0xFF, 0x80}, // protect again
    };
    ASSERT_EQ(expected.size(), kCrtcTimingUpdates);
    for (size_t i = 0; i < kCrtcTimingUpdates; ++i) {
      const auto [index, keep, value] = expected[i];
      EXPECT_EQ(p.Updates[i].Index, index) << "update " << i;
      EXPECT_EQ(p.Updates[i].KeepMask, keep) << "update " << i;
      EXPECT_EQ(p.Updates[i].Value, value) << "update " << i;
    }
  }
}

TEST(CrtcTiming, KeptBitsSurviveAndProtectionEndsSet) {
  // Every bit outside the fields the timing owns keeps what the register held.
  const auto regs = Apply(BuildCrtcTimingProgram(k60Hz), 0xFF);
  EXPECT_EQ(regs.at(0x03), 0xE3);        // bits 7:5 kept
  EXPECT_EQ(regs.at(0x05), 0x60 | 0x18); // skew kept, blank end bit 5 clear
  EXPECT_EQ(regs.at(0x11), 0xFC);        // interrupt bits kept, protect set
  EXPECT_EQ(regs.at(0x09), 0xFF);
  EXPECT_EQ(Apply(BuildCrtcTimingProgram(k60Hz), 0x00).at(0x11), 0x8C);
}

TEST(CrtcTiming, SeventyTwoHertzRowDiffersWhereItsTimingDoes) {
  const auto at60 = Apply(BuildCrtcTimingProgram(Timing800x600[0]));
  const auto at72 = Apply(BuildCrtcTimingProgram(Timing800x600[1]));
  const std::map<uint8_t, uint8_t> changed = {{0x00, 0x7D}, {0x03, 0x01}, {0x04, 0x6A},
                                              {0x05, 0x19}, {0x06, 0x98}, {0x10, 0x7C},
                                              {0x11, 0x82}, {0x16, 0x99}, {0xAE, 0x80}};
  for (const auto &[index, value] : at60) {
    const auto c = changed.find(index);
    EXPECT_EQ(at72.at(index), c == changed.end() ? value : c->second) << std::hex << int(index);
  }
}

TEST(CrtcTiming, BordersMoveBlankAndRetraceByEightPixelsOrLines) {
  CrtcTimingRow bordered = k60Hz;
  bordered.Flags |= kTimingHorizontalBorder;
  auto plain = Apply(BuildCrtcTimingProgram(k60Hz));
  auto h = Apply(BuildCrtcTimingProgram(bordered));
  EXPECT_EQ(h.at(0x02), plain.at(0x02) + 1); // blank start one character right
  EXPECT_EQ(h.at(0x03), plain.at(0x03) - 1); // blank end one character left
  EXPECT_EQ(h.at(0x04), plain.at(0x04) + 1); // retrace start and end right
  EXPECT_EQ(h.at(0x05), plain.at(0x05) + 1);
  EXPECT_EQ(h.at(0x00), plain.at(0x00)); // total and display end stay
  EXPECT_EQ(h.at(0x01), plain.at(0x01));
  EXPECT_EQ(h.at(0x10), plain.at(0x10));

  bordered = k60Hz;
  bordered.Flags |= kTimingVerticalBorder;
  auto v = Apply(BuildCrtcTimingProgram(bordered));
  EXPECT_EQ(v.at(0x15), plain.at(0x15) + 8);
  EXPECT_EQ(v.at(0x16), plain.at(0x16) - 8);
  EXPECT_EQ(v.at(0x10), plain.at(0x10) + 8);
  EXPECT_EQ(v.at(0x11) & 0x0F, (plain.at(0x11) + 8) & 0x0F);
  EXPECT_EQ(v.at(0x12), plain.at(0x12));
  EXPECT_EQ(v.at(0x06), plain.at(0x06));
  EXPECT_EQ(v.at(0x02), plain.at(0x02));
}

// The bits a row carries out of the timing registers: CRTC 0x05 bit 7, 0x07, 0x09 bit 5, 0xAC,
// 0xAD and 0xAE (without its always-set bit 7).
std::map<uint8_t, uint8_t> Carried(const CrtcTimingRow &row) {
  auto regs = Apply(BuildCrtcTimingProgram(row));
  return {{0x05, regs.at(0x05) & 0x80}, {0x07, regs.at(0x07)}, {0x09, regs.at(0x09)},
          {0xAC, regs.at(0xAC)},        {0xAD, regs.at(0xAD)}, {0xAE, regs.at(0xAE) & 0x7F}};
}

TEST(CrtcTiming, EveryHighBitLandsWhereItsValueSendsIt) {
  // A row whose values all fit their registers: nothing is carried.
  const CrtcTimingRow small = {240, 160, 8, 16, 200, 191, 1, 1, 0, 0x01, 60, 0, 0};
  const std::map<uint8_t, uint8_t> none = {{0x05, 0}, {0x07, 0}, {0x09, 0},
                                           {0xAC, 0}, {0xAD, 0}, {0xAE, 0}};
  ASSERT_EQ(Carried(small), none);
  ASSERT_EQ(Apply(BuildCrtcTimingProgram(small)).at(0xAE), 0x80);

  struct Case {
    const char *what;
    void (*change)(CrtcTimingRow &);
    std::map<uint8_t, uint8_t> carried; // registers with carried bits; the rest stay 0
  };
  const Case cases[] = {
      {"h total bit 8", [](auto &r) { r.HorizontalTotal = 2088; }, {{0xAC, 0x01}}},
      {"h display end, blank start, retrace start bit 8",
       [](auto &r) { r.HorizontalDisplay = 2056; },
       {{0xAC, 0x54}}},
      {"h blank start, retrace start bit 8 (border)",
       [](auto &r) { r.HorizontalDisplay = 2048, r.Flags |= kTimingHorizontalBorder; },
       {{0xAC, 0x50}}},
      {"h retrace start bit 8",
       [](auto &r) { r.HorizontalDisplay = 2040, r.HorizontalFrontPorch = 17; },
       {{0xAC, 0x40}}},
      {"h blank end bit 5", [](auto &r) { r.HorizontalTotal = 264; }, {{0x05, 0x80}}},
      {"h blank end bit 6", [](auto &r) { r.HorizontalTotal = 520; }, {{0xAD, 0x01}}},
      {"h retrace end bit 5", [](auto &r) { r.HorizontalSyncWidth = 89; }, {{0xAD, 0x04}}},
      {"v total and blank end bit 8",
       [](auto &r) { r.VerticalTotal = 0x102; },
       {{0x07, 0x01}, {0xAE, 0x10}}},
      {"v blank end bit 8", [](auto &r) { r.VerticalTotal = 0x101; }, {{0xAE, 0x10}}},
      {"v total bit 9", [](auto &r) { r.VerticalTotal = 0x203; }, {{0x07, 0x20}}},
      {"v total bit 10", [](auto &r) { r.VerticalTotal = 0x403; }, {{0xAE, 0x01}}},
      {"v retrace start bit 8", [](auto &r) { r.VerticalFrontPorch = 66; }, {{0x07, 0x04}}},
      {"v retrace start bit 9", [](auto &r) { r.VerticalFrontPorch = 322; }, {{0x07, 0x80}}},
      {"v retrace start bit 10", [](auto &r) { r.VerticalFrontPorch = 834; }, {{0xAE, 0x08}}},
      {"v retrace end bit 4", [](auto &r) { r.VerticalSyncWidth = 17; }, {{0xAE, 0x20}}},
      {"v retrace end bit 5", [](auto &r) { r.VerticalSyncWidth = 33; }, {{0xAE, 0x40}}},
      {"v display end, blank start, retrace start bit 8",
       [](auto &r) { r.VerticalDisplay = 0x101; },
       {{0x07, 0x0E}}},
      {"v display end, blank start, retrace start bit 9",
       [](auto &r) { r.VerticalDisplay = 0x201; },
       {{0x07, 0xC0}, {0x09, 0x20}}},
      {"v display end, blank start, retrace start bit 10",
       [](auto &r) { r.VerticalDisplay = 0x401; },
       {{0xAE, 0x0E}}},
      {"v blank start bit 8, retrace start bit 9 (border)",
       [](auto &r) {
         r.VerticalDisplay = 249, r.VerticalFrontPorch = 256, r.Flags |= kTimingVerticalBorder;
       },
       {{0x07, 0x88}}},
      {"v display end bit 8, blank start bit 9, retrace start bit 10 (border)",
       [](auto &r) {
         r.VerticalDisplay = 505, r.VerticalFrontPorch = 512, r.Flags |= kTimingVerticalBorder;
       },
       {{0x07, 0x02}, {0x09, 0x20}, {0xAE, 0x08}}},
  };
  for (const Case &c : cases) {
    CrtcTimingRow row = small;
    c.change(row);
    std::map<uint8_t, uint8_t> expected = none;
    for (const auto &[index, bits] : c.carried) {
      expected[index] = bits;
    }
    EXPECT_EQ(Carried(row), expected) << c.what;
  }
}

} // namespace
