// Whole boots on the modelled display: the default board ends in 800 x 600 at 8 bits per pixel
// showing exactly its frame buffer through the DAC; a board without adapter gives up after the
// eight root ports and boots on without a screen.
#include <gtest/gtest.h>

#include "sim/pei/pei_report.h"
#include "tests/progress/boot_fixture.h"

namespace {

TEST(DisplayBoot, TheDefaultBoardShowsItsFrameBufferIn800x600x8) {
  test::Boot b(sim::DefaultScenario());
  const sim::BootResult result = b.Run();
  const sim::DisplayMode m = b.board.display.Mode();
  ASSERT_TRUE(m.programmed);
  EXPECT_EQ(m.width, 800u);
  EXPECT_EQ(m.height, 600u);
  EXPECT_EQ(m.bpp, 8u);
  EXPECT_EQ(m.pitch, 800u);
  EXPECT_TRUE(m.screen_on);
  EXPECT_GT(b.Touched(), 0u);

  const sim::ScreenPicture p = b.board.Screen();
  ASSERT_EQ(p.width, 800u);
  ASSERT_EQ(p.height, 600u);
  const auto &palette = b.board.display.Controller()->Dac().Palette();
  size_t differing = 0;
  for (uint32_t y = 0; y < 600; ++y) {
    for (uint32_t x = 0; x < 800; ++x) {
      const sim::Rgb6 &c = palette[b.Pixel(x, y)];
      const uint8_t *shown = &p.rgb[(y * 800 + x) * 3];
      differing += shown[0] != sim::Expand6To8(c.r) || shown[1] != sim::Expand6To8(c.g) ||
                   shown[2] != sim::Expand6To8(c.b);
    }
  }
  EXPECT_EQ(differing, 0u);

  const nlohmann::json display = sim::PeiReport(b.board, result)["display"];
  EXPECT_EQ(display["enable_status"], "EFI_SUCCESS");
  EXPECT_EQ(display["mode"]["hsync_end"], 960);
  EXPECT_EQ(display["pixel_clock"]["c0"], "0x31");
}

TEST(DisplayBoot, WithoutAdapterTheScreenIsNotFoundAndTheBootGoesOn) {
  sim::Scenario scenario = sim::DefaultScenario();
  scenario.raw["display"] = {{"root_port_function", nullptr}};
  test::Boot b(scenario);
  const sim::BootResult result = b.Run();
  const auto &calls = b.board.display.EnableCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].status, EFI_NOT_FOUND);
  // Eight root port functions, each with 1000 us to settle, and their configuration cycles.
  EXPECT_GE(calls[0].cost_us, 8000.0);
  EXPECT_LT(calls[0].cost_us, 8200.0);
  const sim::ScreenPicture p = b.board.Screen();
  EXPECT_TRUE(std::all_of(p.rgb.begin(), p.rgb.end(), [](uint8_t v) { return v == 0; }));
  EXPECT_TRUE(b.board.images.Calls().empty()); // no screen came up: nothing is drawn
  ASSERT_FALSE(result.events.empty());
  EXPECT_EQ(result.events.back().percent, std::optional<uint16_t>(30));
  EXPECT_EQ(sim::PeiReport(b.board, result)["display"]["enable_status"], "EFI_NOT_FOUND");
}

} // namespace
