// check-images and fvpack as a designer runs them: files that are not files, manifests with keys
// or numbers they do not take, outputs that cannot be written, and artwork checked in the role
// its name gives it.
#include <gtest/gtest.h>

#include <fstream>

#include "sim/core/input_file.h"
#include "sim/pei/flash_scenario.h"
#include "sim/pi/fv_builder.h"
#include "tests/image/image_support.h"
#include "tests/sim/cli_run.h"

namespace fs = std::filesystem;

namespace {

test::CliRun CheckImages(const std::string &args) {
  return test::RunTool(BOOTSIM_PATH, "check-images " + args);
}
test::CliRun Fvpack(const std::string &args) { return test::RunTool(FVPACK_PATH, args); }

class ArtworkTools : public ::testing::Test {
protected:
  void SetUp() override { dir = test::FreshTestDir("artwork_tools"); }
  void TearDown() override { fs::remove_all(dir); }
  void Bmp(const fs::path &file, const test::BmpSpec &spec) {
    const std::vector<uint8_t> bytes = test::MakeBmp(spec);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  // Writes m.json and packs it into out.fv.
  test::CliRun Pack(const std::string &manifest) {
    std::ofstream(dir / "m.json") << manifest;
    return Fvpack((dir / "m.json").string() + " -o " + (dir / "out.fv").string());
  }
  fs::path dir;
};

const char kGuid[] = "00000001-1234-5678-0102-030405060708";

TEST_F(ArtworkTools, CheckImagesRefusesPathsThatAreNotFiles) {
  const test::BadPaths bad(dir, sim::kFlashImageLimit);
  for (const auto &[path, words] : bad.All()) {
    const test::CliRun run = CheckImages(path.string());
    EXPECT_EQ(run.exit_code, 2) << path << run.output;
    EXPECT_TRUE(run.Says(path.string() + " ")) << run.output;
    EXPECT_TRUE(run.Says(words)) << run.output;
  }
  const test::CliRun manifest = CheckImages("--manifest " + bad.directory.string());
  EXPECT_EQ(manifest.exit_code, 2) << manifest.output;
  EXPECT_TRUE(manifest.Says("is a directory")) << manifest.output;
}

TEST_F(ArtworkTools, CheckImagesTakesTheRoleFromTheBoardManifestOrFromRole) {
  // The board's banner under its own name, elsewhere: checked where banners are drawn.
  fs::copy_file(sim::AssetsDir() / "banner_a.bmp", dir / "banner_a.bmp");
  const test::CliRun named = CheckImages((dir / "banner_a.bmp").string());
  EXPECT_EQ(named.exit_code, 0) << named.output;
  EXPECT_TRUE(named.Says("banner A (" + (dir / "banner_a.bmp").string() +
                         ", role from its name in assets/manifest.json) at banner position:"))
      << named.output;
  EXPECT_TRUE(named.Says("loads palette entries 230-")) << named.output;

  fs::copy_file(sim::AssetsDir() / "footer.bmp", dir / "new-art.bmp");
  const test::CliRun role = CheckImages("--role footer " + (dir / "new-art.bmp").string());
  EXPECT_EQ(role.exit_code, 0) << role.output;
  EXPECT_TRUE(role.Says("footer (" + (dir / "new-art.bmp").string() +
                        ", role from --role) at "
                        "footer position:"))
      << role.output;
  EXPECT_TRUE(role.Says("at raised footer position:")) << role.output;
  const test::CliRun spaced = CheckImages("--role \"glyph '7'\" " + (dir / "new-art.bmp").string());
  EXPECT_TRUE(spaced.Says("glyph '7' (")) << spaced.output;

  const test::CliRun loose = CheckImages((dir / "new-art.bmp").string());
  EXPECT_TRUE(loose.Says("(no role: palette from entry 230) at centred")) << loose.output;
  const test::CliRun none = CheckImages("--role none " + (dir / "banner_a.bmp").string());
  EXPECT_TRUE(none.Says("(no role: palette from entry 230) at centred")) << none.output;

  const test::CliRun unknown = CheckImages("--role wallpaper " + (dir / "new-art.bmp").string());
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_TRUE(unknown.Says("--role wallpaper: not a boot-screen image; roles: banner_a, "))
      << unknown.output;
  EXPECT_EQ(CheckImages("--manifest m.json x.bmp").exit_code, 2);
}

TEST_F(ArtworkTools, CheckImagesWarnsWhenALogoRecoloursTheBackground) {
  test::BmpSpec s = test::Solid(40, 20);
  s.colour = [](uint32_t i, uint8_t rgb[3]) {
    rgb[0] = 0x80;
    rgb[1] = rgb[2] = static_cast<uint8_t>(i);
  };
  Bmp(dir / "logo.bmp", s);
  const test::CliRun run = CheckImages((dir / "logo.bmp").string());
  EXPECT_EQ(run.exit_code, 0) << run.output; // drawn, but the designer hears about it
  EXPECT_TRUE(run.Says("logo (")) << run.output;
  EXPECT_TRUE(run.Says("warning: sets palette entry 0 to (128, 0, 0) instead of black"))
      << run.output;
}

TEST_F(ArtworkTools, FvpackRefusesManifestAndEntryPathsThatAreNotFiles) {
  const test::BadPaths manifests(dir / "m", sim::kManifestFileLimit);
  for (const auto &[path, words] : manifests.All()) {
    const test::CliRun run = Fvpack(path.string() + " -o " + (dir / "out.fv").string());
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_TRUE(run.Says(path.string() + ": cannot read the manifest: it ")) << run.output;
    EXPECT_TRUE(run.Says(words)) << run.output;
  }
  const test::BadPaths entries(dir / "e", sim::kFvMaxSize);
  for (const auto &[path, words] : entries.All()) {
    const test::CliRun run = Pack(std::string(R"({"files": [{"guid": ")") + kGuid +
                                  R"(", "path": ")" + path.string() + R"("}]})");
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_TRUE(run.Says("files[0].path: cannot read " + path.string())) << run.output;
    EXPECT_TRUE(run.Says(words)) << run.output;
    EXPECT_FALSE(fs::exists(dir / "out.fv"));
  }
  // Each file fits, together they cannot: refused before the rest is read.
  for (const char *name : {"a.bin", "b.bin"}) {
    std::ofstream(dir / name).close();
    fs::resize_file(dir / name, 10u << 20);
  }
  const test::CliRun both =
      Pack(std::string(R"({"files": [{"guid": ")") + kGuid + R"(", "path": "a.bin"}, {"guid": ")" +
           kGuid + R"(", "path": "b.bin"}]})");
  EXPECT_EQ(both.exit_code, 2);
  EXPECT_TRUE(both.Says("files[1]: the files up to here hold")) << both.output;
}

TEST_F(ArtworkTools, FvpackRefusesUnknownKeysKeysGivenTwiceAndSizesOutOfRange) {
  std::ofstream(dir / "a.bmp") << "BM";
  const std::string file = std::string(R"({"guid": ")") + kGuid + R"(", "path": "a.bmp")";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"files": [], "sise": 4096})",
       "key 'sise' is not a manifest key (known: files, size, base)"},
      {R"({"files": [], "base": "0xFEFFF000"})",
       "\"base\" must be a multiple of 0x1000 from 0xFF000000"},
      {R"({"files": [], "base": "0xFFFF0800"})", "to 0xFFFFF000, got \"0xFFFF0800\""},
      {R"({"files": [)" + file + R"(, "typ": "raw"}]})", "files[0]: key 'typ' is not a manifest"},
      {R"({"files": [)" + file + R"(, "path": "b.bmp"}]})",
       "key 'files[0].path': expected each key once"},
      {R"({"files": [], "files": []})", "key 'files': expected each key once"},
      {R"({"size": "0x1800", "files": []})", "\"size\" must be 0"},
      {R"({"size": 16777216, "files": []})", "up to 16773120 bytes"},
      {R"({"size": -4096, "files": []})", "\"size\" must be 0"},
      {R"({"files": [)" + file + R"(, "type": 240}]})", "other than 240"},
  };
  for (const auto &[manifest, words] : cases) {
    const test::CliRun run = Pack(manifest);
    EXPECT_EQ(run.exit_code, 2) << manifest << "\n" << run.output;
    EXPECT_TRUE(run.Says(words)) << manifest << "\n" << run.output;
  }
  EXPECT_EQ(Pack(R"({"size": "0x2000", "files": [)" + file + "}]}").exit_code, 0);
}

TEST_F(ArtworkTools, FvpackOutputFailuresExitThreeAndHelpExplains) {
  std::ofstream(dir / "a.bmp") << "BM";
  std::ofstream(dir / "m.json") << R"({"files": [{"guid": ")" << kGuid
                                << R"(", "path": "a.bmp"}]})";
  for (const std::string &target : {std::string("/dev/full"), dir.string()}) {
    const test::CliRun run = Fvpack((dir / "m.json").string() + " -o " + target);
    EXPECT_EQ(run.exit_code, 3) << target << run.output;
    EXPECT_TRUE(run.Says("fvpack: -o: " + target + ": ")) << run.output;
  }
  const test::CliRun help = Fvpack("--help");
  EXPECT_EQ(help.exit_code, 0);
  for (const char *word : {"MANIFEST.json", "-o OUT.fv", "\"guid\"", "\"path\"", "\"type\"",
                           "\"size\"", "exit codes"}) {
    EXPECT_TRUE(help.Says(word)) << word;
  }
  for (const char *args : {"", "--bogus m.json -o x", "a.json b.json -o x", "m.json -o"}) {
    const test::CliRun run = Fvpack(args);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_TRUE(run.Says("usage: fvpack")) << args << run.output;
  }
}

} // namespace
