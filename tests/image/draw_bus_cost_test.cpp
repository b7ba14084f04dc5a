// Bus transactions per drawn pixel for the default boot's logo, banner and footer, counted by the
// simulated bus (counters, not time). Drawing alone: headers and colour table at most one 32-bit
// read per four file bytes, pixel rows one 64-bit read per eight, and one store per four pixels,
// against one of each per byte for the byte-at-a-time reference. The whole DrawImageFile call
// also pays for the volume scan and the file and section headers, which read the same flash.
#include <gtest/gtest.h>

#include <cstdio>

#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/image/bmp_draw.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "sim/pei/flash_scenario.h"
#include "sim/pei/pei_boot.h"
#include "sim/screen/image_lookup.h"
#include "tests/image/reference/reference_draw.h"
#include "tests/progress/clean_bus.h"

namespace {

using DrawFn = EFI_STATUS (*)(UINTN, UINT32, UINT32, UINTN, UINT32 *, UINT32 *, UINT32, UINT32 *,
                              UINT32 *);

struct Image {
  const char *name;
  EFI_GUID guid;
  uint32_t left, bottom, high_palette;
  uint16_t bits;
  double max_reads_per_pixel;
};

// The default boot's images at the positions it draws them.
const Image kDefaultImages[] = {
    {"logo", LogoImageGuid, 0, 0, 0, 8, 0.14},
    {"banner", BannerImageAGuid, 3, 17, 1, 4, 0.08},
    {"footer", FooterImageGuid, 600, 17, 1, 4, 0.08},
};
constexpr double kMaxWritesPerPixel = 0.3;
// The whole call, volume scan and headers included.
constexpr double kMaxCallReadsPerPixel8 = 0.3;
constexpr double kMaxCallReadsPerPixel4 = 0.16;

struct PerPixel {
  double reads, writes;
};

PerPixel DrawingCost(DrawFn draw, const Image &image) {
  sim::PeiBoard board(sim::DefaultScenario());
  const sim::ImageLookup found = sim::LookUpImage(board.flash, image.guid);
  EXPECT_TRUE(found.section) << image.name;
  const sim::BusCounts before = board.machine.bus.Counts();
  uint32_t left = image.left, bottom = image.bottom, width = 0, height = 0;
  EXPECT_EQ(draw(static_cast<UINTN>(found.data), static_cast<uint32_t>(found.bytes.size()),
                 kBmpSizeLimit, kFrameBufferBase, &left, &bottom, image.high_palette, &width,
                 &height),
            EFI_SUCCESS)
      << image.name;
  const sim::BusCounts &after = board.machine.bus.Counts();
  const double pixels = static_cast<double>(width) * height;
  EXPECT_GT(pixels, 0) << image.name;
  EXPECT_EQ(after.guest_errors, before.guest_errors);
  return {(after.mmio.reads - before.mmio.reads) / pixels,
          (after.mmio.writes - before.mmio.writes) / pixels};
}

TEST(DrawBusCost, DrawingTheDefaultImagesTakesAFractionOfTheTransactions) {
  for (const Image &image : kDefaultImages) {
    const PerPixel now = DrawingCost(DrawBitmap, image);
    const PerPixel before = DrawingCost(reference::DrawBitmap, image);
    std::printf("%-6s %d-bit drawing: %.4f reads, %.4f writes per pixel (byte at a time: %.4f, "
                "%.4f)\n",
                image.name, image.bits, now.reads, now.writes, before.reads, before.writes);
    EXPECT_LE(now.reads, image.max_reads_per_pixel) << image.name;
    EXPECT_LE(now.writes, kMaxWritesPerPixel) << image.name;
    // The reference really is one transaction per byte: the comparison means something.
    EXPECT_GE(before.writes, 1.0) << image.name;
    EXPECT_GE(before.reads, image.bits == 8 ? 1.0 : 0.5) << image.name;
  }
}

// The figures bootsim reports for each DrawImageFile call of the default boot.
// The strap reads high, so that no address glyph (10 pixels wide) is drawn.
TEST(DrawBusCost, TheDefaultBootsImageCalls) {
  sim::Scenario scenario = sim::DefaultScenario();
  scenario.raw["pch"]["pads"]["0x01060015"]["level"] = 1;
  sim::PeiBoard board(scenario);
  sim::RunPeiBoot(board);
  test::ExpectCleanBus(board);
  size_t drawn = 0;
  for (const sim::ImageCall &call : board.images.Calls()) {
    if (!call.drawn()) {
      continue;
    }
    ++drawn;
    const double pixels = static_cast<double>(call.placement.width) * call.placement.height;
    const double reads = call.mmio_reads / pixels, writes = call.mmio_writes / pixels;
    std::printf("%ux%u %u-bit call: %.4f reads, %.4f writes per pixel\n", call.placement.width,
                call.placement.height, call.placement.bit_depth, reads, writes);
    EXPECT_LE(writes, kMaxWritesPerPixel);
    EXPECT_LE(reads,
              call.placement.bit_depth == 8 ? kMaxCallReadsPerPixel8 : kMaxCallReadsPerPixel4)
        << call.placement.width << "x" << call.placement.height;
  }
  EXPECT_EQ(drawn, 3u); // logo, banner, footer
}

} // namespace
