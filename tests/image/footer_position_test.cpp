// The footer image from the default artwork, drawn by the footer callback: bottom row 582 with
// the strap reading high and no address shown, 562 once the address line is shown.
#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/footer.h"
#include "sim/binding/image_roles.h"
#include "sim/pei/flash_scenario.h"
#include "tests/image/image_support.h"

namespace {

int BottomRowOfFooter(bool addressShown) {
  sim::Scenario scenario = sim::DefaultScenario();
  scenario.raw["pch"]["pads"]["0x01060015"]["level"] = 1; // the strap reads high
  sim::PeiBoard board(scenario);
  board.machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(board.core.Services()));
  test::BringUpDisplay(board);
  ModuleState state{};
  state.BmcAddressShown = addressShown ? 1 : 0;
  EXPECT_EQ(StoreModuleState(board.core.Services(), state), EFI_SUCCESS);
  EXPECT_EQ(DrawFooterImage(board.core.Services()), EFI_SUCCESS);
  int bottom = -1;
  for (int y = 0; y < 600; ++y) {
    for (int x = 600; x < 800; ++x) {
      if (test::FrameBuffer(board)[y * 800 + x] != 0) {
        bottom = y;
      }
    }
  }
  return bottom;
}

TEST(FooterPosition, SitsOnRow582WithTheStrapHigh) { EXPECT_EQ(BottomRowOfFooter(false), 582); }

TEST(FooterPosition, RisesTo562WhenTheAddressIsShown) { EXPECT_EQ(BottomRowOfFooter(true), 562); }

TEST(DefaultArtwork, EveryImageOfTheDefaultVolumePassesTheCheck) {
  sim::PeiBoard board(sim::DefaultScenario());
  const sim::FvManifest manifest = sim::LoadFvManifest(sim::AssetsDir() / "manifest.json");
  ASSERT_EQ(manifest.files.size(), 19u); // logo, 2 banners, footer, 3 labels, 12 glyphs
  for (const sim::FvFileSpec &f : manifest.files) {
    const sim::ImageLookup found = sim::LookUpImage(board.flash, f.name);
    ASSERT_TRUE(found.section) << f.source;
    EXPECT_EQ(found.bytes, f.data) << f.source;
    const sim::ImageRole *role = sim::FindImageRole(f.name);
    ASSERT_NE(role, nullptr) << f.source;
    for (const sim::ImagePosition &at : role->positions) {
      const sim::BmpPlacement p =
          sim::PlaceBmp(f.data, at.bottom_margin, at.left_margin, role->high_palette);
      EXPECT_TRUE(p.refusals.empty()) << f.source << ": " << p.refusals.front();
      EXPECT_TRUE(p.warnings.empty()) << f.source << ": " << p.warnings.front();
    }
  }
}

} // namespace
