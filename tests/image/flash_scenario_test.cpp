// The scenario's flash key: prebuilt volumes and manifests packed on the fly at their bases,
// overlaps and malformed entries refused, and the default artwork without the key.
#include <filesystem>
#include <fstream>

#include "sim/pei/flash_scenario.h"
#include "tests/image/image_support.h"
#include "tests/sim/cli_run.h"

namespace {

class FlashScenario : public ::testing::Test {
protected:
  void SetUp() override {
    dir = test::FreshTestDir("flash_scenario");
    const std::vector<uint8_t> bmp = test::MakeBmp(test::Solid(4, 2));
    Write("a.bmp", bmp);
    Write("m.json",
          R"({"files": [{"guid": "00000001-1234-5678-0102-030405060708", "path": "a.bmp"}]})");
    Write("v.fv", test::Volume({test::File(test::Guid(2), bmp)}));
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  template <typename T>
  void Write(const std::string &name, const T &bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  void Write(const std::string &name, const char *text) { std::ofstream(dir / name) << text; }
  sim::Scenario With(const std::string &flash) {
    return sim::ParseScenario(nlohmann::json::parse(R"({"flash": )" + flash + "}"), "s.json", dir);
  }
  std::filesystem::path dir;
};

TEST_F(FlashScenario, PlacesPrebuiltAndPackedVolumesAtTheirBases) {
  sim::PeiBoard board(With(R"({"volumes": [{"base": "0xFF800000", "manifest": "m.json"},
                                          {"base": "0xFFA00000", "file": "v.fv"}]})"));
  ASSERT_EQ(board.flash.Volumes().size(), 2u);
  EXPECT_EQ(sim::LookUpImage(board.flash, test::Guid(1)).volume, 0xFF800000u);
  EXPECT_EQ(sim::LookUpImage(board.flash, test::Guid(2)).volume, 0xFFA00000u);
  EXPECT_EQ(board.flash.Byte(0xFF7FFFFF), 0xFF); // unused flash reads erased
}

TEST_F(FlashScenario, RefusesOverlapsAndBadEntries) {
  for (
      const char *flash :
      {R"({"volumes": [{"base": "0xFF800000", "file": "v.fv"}, {"base": "0xFF800800", "file": "v.fv"}]})",
       R"({"volumes": [{"base": "0xFFFFF800", "file": "v.fv"}]})",
       R"({"volumes": [{"base": "0xFF800000", "file": "missing.fv"}]})",
       R"({"volumes": [{"base": "0xFF800000", "file": "v.fv", "manifest": "m.json"}]})",
       R"({"volumes": [{"file": "v.fv"}]})", R"([])"}) {
    EXPECT_THROW(sim::PeiBoard board(With(flash)), sim::ScenarioError) << flash;
  }
}

TEST(DefaultFlash, HoldsTheArtworkVolume) {
  sim::PeiBoard board(sim::DefaultScenario());
  ASSERT_EQ(board.flash.Volumes().size(), 1u);
  EXPECT_EQ(board.flash.Volumes()[0].base, sim::kDefaultAssetsVolumeBase);
}

} // namespace
