// The BMC address line on full boots against the PCH and BMC models: what the strap and the
// BMC's LAN channels make the module draw, which IPMI exchanges it takes, and where the footer
// ends up. Every boot must leave the hardware without a guest error.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/progress/bmc_address.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "modules/boot_progress_pei/progress/screen_layout.h"
#include "sim/pei/flash_scenario.h"
#include "tests/progress/boot_fixture.h"

namespace {

// Which character each artwork file draws, by its file name: the oracle for the module's glyph
// table and for decoding the screen, held here rather than taken from the module.
const std::map<std::string, char> kArtworkCharacters = {
    {"label_lan1.bmp", '+'}, {"label_lan8.bmp", ','},  {"label_no_transport.bmp", '-'},
    {"glyph_dot.bmp", '.'},  {"glyph_slash.bmp", '/'}, {"glyph_0.bmp", '0'},
    {"glyph_1.bmp", '1'},    {"glyph_2.bmp", '2'},     {"glyph_3.bmp", '3'},
    {"glyph_4.bmp", '4'},    {"glyph_5.bmp", '5'},     {"glyph_6.bmp", '6'},
    {"glyph_7.bmp", '7'},    {"glyph_8.bmp", '8'},     {"glyph_9.bmp", '9'},
};

// The label images' characters.
constexpr int kLan1Label = '+';
constexpr int kLan8Label = ',';
constexpr int kNoTransportLabel = '-';

// "8DB6E347-2E59-425A-B21E-2A6F6442CE9D" in registry form.
EFI_GUID ParseGuid(const std::string &text) {
  unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
  EFI_GUID guid{};
  EXPECT_EQ(std::sscanf(text.c_str(), "%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x", &d1, &d2, &d3, &b[0],
                        &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]),
            11)
      << text;
  guid.Data1 = d1;
  guid.Data2 = static_cast<UINT16>(d2);
  guid.Data3 = static_cast<UINT16>(d3);
  for (int i = 0; i < 8; ++i) {
    guid.Data4[i] = static_cast<UINT8>(b[i]);
  }
  return guid;
}

// Character code to file GUID, from the artwork manifest.
std::map<UINT8, EFI_GUID> ArtworkGlyphs() {
  std::ifstream in(sim::AssetsDir() / "manifest.json");
  const nlohmann::json manifest = nlohmann::json::parse(in);
  std::map<UINT8, EFI_GUID> glyphs;
  for (const nlohmann::json &file : manifest.at("files")) {
    const auto it = kArtworkCharacters.find(file.at("path").get<std::string>());
    if (it != kArtworkCharacters.end()) {
      glyphs[static_cast<UINT8>(it->second)] = ParseGuid(file.at("guid").get<std::string>());
    }
  }
  EXPECT_EQ(glyphs.size(), kArtworkCharacters.size());
  return glyphs;
}

const std::map<UINT8, EFI_GUID> &Glyphs() {
  static const std::map<UINT8, EFI_GUID> glyphs = ArtworkGlyphs();
  return glyphs;
}

// The character the artwork file `guid` draws, 0 when it is none of the glyphs.
UINT8 CharacterOf(const EFI_GUID &guid) {
  for (const auto &[code, file] : Glyphs()) {
    if (std::memcmp(&guid, &file, sizeof guid) == 0) {
      return code;
    }
  }
  return 0;
}

// Every row of the module's table names the file the manifest gives for its character; rows
// that point at the wrong glyph would draw a wrong address that still looks like one.
TEST(GlyphTable, EveryRowIsTheArtworkForItsCharacter) {
  ASSERT_EQ(Glyphs().size(), size_t{kGlyphTableLastCode - kGlyphTableFirstCode + 1});
  for (const auto &[code, file] : Glyphs()) {
    const char character = static_cast<char>(code);
    ASSERT_NE(GlyphImageFor(code), nullptr) << character;
    EXPECT_EQ(std::memcmp(GlyphImageFor(code), &file, sizeof file), 0) << character;
    EXPECT_EQ(std::memcmp(&GlyphImageTable[code - kGlyphTableFirstCode], &file, sizeof file), 0)
        << character;
  }
  EXPECT_EQ(GlyphImageFor(kGlyphTableFirstCode - 1), nullptr);
  EXPECT_EQ(GlyphImageFor(kGlyphTableLastCode + 1), nullptr);
}

// What the address line shows, decoded from the module's DrawImageFile calls with the artwork
// manifest.
struct AddressLine {
  int label = -1; // the label image's character, -1 when none was drawn
  std::string text;
  std::vector<uint32_t> columns; // left margin of each character
  int footer_bottom_row = -1;
};

AddressLine Decode(const sim::PeiBoard &board) {
  AddressLine line;
  for (const sim::ImageCall &call : board.images.Calls()) {
    if (GuidEquals(&call.guid, &FooterImageGuid)) {
      line.footer_bottom_row = call.placement.bottom_row;
      continue;
    }
    const UINT8 code = CharacterOf(call.guid);
    if (code == 0) {
      continue;
    }
    EXPECT_EQ(call.bottom_margin_in, 17u);
    EXPECT_EQ(call.high_palette, 1u);
    if (code == kLan1Label || code == kLan8Label || code == kNoTransportLabel) {
      EXPECT_EQ(call.left_margin_in, 410u);
      line.label = code;
    } else {
      line.text += static_cast<char>(code);
      line.columns.push_back(call.left_margin_in);
    }
  }
  return line;
}

// (channel, parameter) of each exchange the BMC answered.
std::vector<std::pair<int, int>> Asked(const sim::PeiBoard &board) {
  std::vector<std::pair<int, int>> asked;
  for (const sim::Bmc::Logged &e : board.platform.bmc.Exchanges()) {
    asked.push_back({e.request.at(0), e.request.at(1)});
  }
  return asked;
}

// The scenario's hardware on the default board's events.
sim::Scenario OnDefaultEvents(const std::string &json) {
  sim::Scenario s = test::ScenarioFrom(json);
  s.raw.erase("events");
  return s;
}

struct Booted {
  explicit Booted(const std::string &json) : boot(OnDefaultEvents(json)) {
    boot.Run();
    line = Decode(boot.board);
    EXPECT_EQ(boot.board.machine.bus.Counts().guest_errors, 0u);
  }
  bool AddressShown() { return LoadModuleState(boot.board.core.Services()).BmcAddressShown != 0; }
  test::Boot boot;
  AddressLine line;
};

std::vector<uint32_t> Columns(size_t n) {
  std::vector<uint32_t> c;
  for (size_t i = 0; i < n; ++i) {
    c.push_back(static_cast<uint32_t>(630 + 10 * i));
  }
  return c;
}

using Asks = std::vector<std::pair<int, int>>;

TEST(AddressLine, DefaultBoardShowsChannelOnesAddress) {
  Booted b("{}");
  EXPECT_EQ(b.line.label, kLan1Label);
  EXPECT_EQ(b.line.text, "192.168.1.100");
  EXPECT_EQ(b.line.columns, Columns(13));
  EXPECT_EQ(b.line.footer_bottom_row, 562);
  EXPECT_EQ(Asked(b.boot.board), (Asks{{1, 0}, {1, 3}}));
  EXPECT_TRUE(b.AddressShown());
}

TEST(AddressLine, StrapHighTakesNoExchangeAndLeavesTheFooterLow) {
  Booted b(R"({"pch": {"pads": {"0x01060015": {"level": 1}}}})");
  EXPECT_EQ(b.line.label, -1);
  EXPECT_EQ(b.line.text, "");
  EXPECT_TRUE(Asked(b.boot.board).empty());
  EXPECT_EQ(b.line.footer_bottom_row, 582);
}

TEST(AddressLine, ChannelOneBusyFallsBackToChannelEight) {
  Booted b(R"({"bmc": {"lan": {"1": {"ip": "10.9.9.9", "set_in_progress": 1},
                               "8": {"ip": "192.168.0.5"}}}})");
  EXPECT_EQ(b.line.label, kLan8Label);
  EXPECT_EQ(b.line.text, "192.168.0.5");
  EXPECT_EQ(b.line.columns, Columns(11)); // 630 to 730
  EXPECT_EQ(Asked(b.boot.board), (Asks{{1, 0}, {8, 0}, {8, 3}}));
}

TEST(AddressLine, ZeroAddressAndAFailedChannelEightDrawNothing) {
  Booted b(R"({"bmc": {"lan": {"1": {"ip": "0.0.0.0"}, "8": {"fail": true}}}})");
  EXPECT_EQ(b.line.label, -1);
  EXPECT_EQ(b.line.text, "");
  EXPECT_FALSE(b.AddressShown());
  EXPECT_EQ(Asked(b.boot.board), (Asks{{1, 0}, {1, 3}, {8, 0}}));
  EXPECT_EQ(b.boot.board.platform.bmc.Exchanges().back().answer.completion, 0xFF);
  EXPECT_EQ(b.line.footer_bottom_row, 562); // the strap still asks for the raised footer
}

TEST(AddressLine, ChannelOneAloneNeverAsksChannelEight) {
  Booted b(R"({"bmc": {"lan": {"1": {"ip": "10.1.2.3"}}}})");
  EXPECT_EQ(b.line.label, kLan1Label);
  EXPECT_EQ(b.line.text, "10.1.2.3");
  EXPECT_EQ(Asked(b.boot.board), (Asks{{1, 0}, {1, 3}}));
}

TEST(AddressLine, LongestAddressEndsAtColumn770) {
  Booted b(R"({"bmc": {"lan": {"1": {"ip": "255.255.255.255"}}}})");
  EXPECT_EQ(b.line.text, "255.255.255.255");
  EXPECT_EQ(b.line.columns, Columns(15));
  EXPECT_EQ(b.line.columns.back(), 770u);
}

// A channel that answers one byte short has not given its address: the module never formats
// bytes it did not receive and asks channel 8 instead.
TEST(AddressLine, ShortAnswerCountsAsAFailedChannel) {
  {
    Booted b(R"({"bmc": {"lan": {"1": {"ip": "10.1.2.3", "short_response": true},
                                 "8": {"ip": "172.16.0.1"}}}})");
    EXPECT_EQ(b.line.label, kLan8Label);
    EXPECT_EQ(b.line.text, "172.16.0.1");
  }
  Booted none(R"({"bmc": {"lan": {"1": {"ip": "10.1.2.3", "short_response": true}}}})");
  EXPECT_EQ(none.line.label, -1);
  EXPECT_FALSE(none.AddressShown());
}

TEST(AddressLine, MissingTransportShowsItsImageInTheLabelsPlace) {
  test::Boot boot(R"({"events": []})");
  boot.board.machine.cpu.SetPeiServicesSlot(
      reinterpret_cast<uintptr_t>(boot.board.core.Services()));
  EXPECT_EQ(ShowBmcAddress(boot.board.core.Services()), EFI_SUCCESS);
  const AddressLine line = Decode(boot.board);
  EXPECT_EQ(line.label, kNoTransportLabel);
  EXPECT_EQ(line.text, "");
  EXPECT_FALSE(LoadModuleState(boot.board.core.Services()).BmcAddressShown);
}

// The pad is given to another owner right after the module reprograms it for sampling: its input
// cannot be read, so the strap counts as high, and the restore is refused as well.
TEST(AddressLine, UnreadableStrapInputCountsAsHigh) {
  test::Boot boot(OnDefaultEvents("{}"));
  sim::GpioCommunity &gpio = boot.board.platform.Community(6);
  bool taken = false;
  gpio.OnPadWrite([&](uint8_t group, uint8_t pad) {
    if (group == 6 && pad == 21 && !taken) {
      taken = true;
      gpio.SetPadOwner(6, 21, 1);
    }
  });
  boot.Run();
  EXPECT_TRUE(taken);
  const AddressLine line = Decode(boot.board);
  EXPECT_EQ(line.label, -1);
  EXPECT_TRUE(boot.board.platform.bmc.Exchanges().empty());
  EXPECT_EQ(line.footer_bottom_row, 582);
  EXPECT_EQ(boot.board.machine.bus.Counts().guest_errors, 0u);
}

} // namespace
