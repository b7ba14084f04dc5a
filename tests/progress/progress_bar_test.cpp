// The trough and bar: widths, the exact bytes written, and that nothing outside them changes.
#include <gtest/gtest.h>

#include <vector>

#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/progress/progress_bar.h"
#include "sim/core/machine.h"
#include "sim/devices/memory/ram_device.h"

namespace {

constexpr uint8_t kBackground = 0x5A;

class ProgressBar : public ::testing::Test {
protected:
  sim::Machine machine;
  sim::RamDevice fb{machine.bus, kFrameBufferBase, kFrameBufferSize, "fb", kBackground};

  // Offsets of every byte that differs from the background.
  std::vector<size_t> Changed() const {
    std::vector<size_t> at;
    for (size_t i = 0; i < fb.Size(); ++i) {
      if (fb.At(i) != kBackground) {
        at.push_back(i);
      }
    }
    return at;
  }
  // The offsets a bar of `width` columns in index `index` must cover, and nothing else.
  void ExpectExactly(uint32_t width, uint8_t index) const {
    std::vector<size_t> expected;
    for (size_t row = 594; row < 600; ++row) {
      for (size_t x = 0; x < width; ++x) {
        expected.push_back(row * 800 + x);
      }
    }
    EXPECT_EQ(Changed(), expected);
    for (size_t at : expected) {
      ASSERT_EQ(fb.At(at), index) << "offset " << at;
    }
  }
};

TEST_F(ProgressBar, WidthsOfThePercentagesInUse) {
  const std::pair<uint16_t, uint32_t> cases[] = {
      {0, 0}, {1, 7}, {5, 38}, {10, 76}, {15, 114}, {20, 152}, {30, 228}, {99, 752}, {100, 760}};
  for (auto [p, w] : cases) {
    EXPECT_EQ(ProgressBarWidth(p), w) << p << " %";
  }
}

TEST_F(ProgressBar, OnePercentWritesSevenBytesPerRow) {
  DrawProgressBar(1, kFrameBufferBase);
  ExpectExactly(7, 251);
  EXPECT_EQ(Changed().front(), 475200u);
  EXPECT_EQ(Changed()[6], 475206u);
  EXPECT_EQ(Changed()[7], 476000u);
}

TEST_F(ProgressBar, ZeroWritesNothing) {
  DrawProgressBar(0, kFrameBufferBase);
  EXPECT_TRUE(Changed().empty());
  EXPECT_EQ(machine.bus.Counts().mmio.writes, 0u);
}

TEST_F(ProgressBar, HundredCoversTheTroughExactly) {
  DrawProgressTrough(kFrameBufferBase);
  ExpectExactly(760, 250);
  DrawProgressBar(100, kFrameBufferBase);
  ExpectExactly(760, 251);
}

TEST_F(ProgressBar, ShorterBarLeavesTheLongerOneVisible) {
  DrawProgressTrough(kFrameBufferBase);
  DrawProgressBar(30, kFrameBufferBase);
  DrawProgressBar(20, kFrameBufferBase);
  for (size_t row = 594; row < 600; ++row) {
    EXPECT_EQ(fb.At(row * 800 + 227), 251);
    EXPECT_EQ(fb.At(row * 800 + 228), 250);
  }
}

TEST_F(ProgressBar, PercentagesAboveHundredStopAtTheTrough) {
  for (uint16_t p : {101, 150, 1000, 65535}) {
    DrawProgressBar(p, kFrameBufferBase);
    ExpectExactly(760, 251);
  }
}

TEST_F(ProgressBar, WritesEachBarByteOnce) {
  DrawProgressBar(5, kFrameBufferBase);
  // Rows start on a 4-byte boundary: 38 bytes are 9 dword stores and 2 byte stores.
  EXPECT_EQ(machine.bus.Counts().mmio.writes, 6u * (9u + 2u));
  EXPECT_EQ(machine.bus.Counts().guest_errors, 0u);
}

} // namespace
