// The display path built from the scenario's "display" key: which root port leads to the
// adapter, the VGA function's identity and BARs, a board without adapter or without VGA
// function, the legacy VGA ports reaching the CPU only through both bridges' VGA forwarding, and
// the errors a bad key gives.
#include <gtest/gtest.h>

#include "access/pci_config.h"
#include "access/port_io.h"
#include "sim/pei/display_scenario.h"
#include "sim/pei/pei_board.h"

namespace {

sim::Scenario WithDisplay(const std::string &display) {
  return sim::ParseScenario(nlohmann::json::parse(R"({"display": )" + display + "}"), "board.json",
                            ".");
}

// Gives root port `f` buses 1-2 and the display bridge bus 2.
void RouteThrough(uint8_t f) {
  PciPortWrite8(0, 28, f, 0x19, 1);
  PciPortWrite8(0, 28, f, 0x1A, 2);
  PciPortWrite8(1, 0, 0, 0x19, 2);
  PciPortWrite8(1, 0, 0, 0x1A, 2);
}

uint32_t SizeOf(uint16_t bar) {
  PciPortWrite32(2, 0, 0, bar, 0xFFFFFFFF);
  return PciPortRead32(2, 0, 0, bar);
}

TEST(DisplayHardware, TheScenarioPlacesTheAdapterAndShapesTheVgaFunction) {
  sim::PeiBoard board(WithDisplay(R"({"root_port_function": 2, "revision": "0x1F",
      "bars": [{"kind": "memory", "size": 33554432}, null, {"kind": "io", "size": 64}],
      "chip": {"size_mib": 256}})"));
  RouteThrough(3);
  EXPECT_EQ(PciPortRead32(1, 0, 0, 0), 0xFFFFFFFFu); // not behind function 3
  PciPortWrite8(0, 28, 3, 0x19, 0);
  PciPortWrite8(0, 28, 3, 0x1A, 0);
  RouteThrough(2);
  EXPECT_EQ(PciPortRead32(1, 0, 0, 0), 0x11501A03u);
  EXPECT_EQ(PciPortRead32(2, 0, 0, 0x08) >> 8, 0x030000u); // VGA class
  EXPECT_EQ(PciPortRead8(2, 0, 0, 0x08), 0x1F);
  EXPECT_EQ(SizeOf(0x10), 0xFE000000u);
  EXPECT_EQ(SizeOf(0x14), 0u);
  EXPECT_EQ(SizeOf(0x18), 0xFFFFFFC1u);
  EXPECT_EQ(SizeOf(0x1C), 0u);
  EXPECT_EQ(board.display.FrameMemory()->Size(), 32u << 20);
}

TEST(DisplayHardware, NoAdapterOrNothingBehindTheBridge) {
  {
    sim::PeiBoard none(WithDisplay(R"({"root_port_function": null})"));
    for (uint8_t f = 0; f < 8; ++f) {
      RouteThrough(f);
      EXPECT_EQ(PciPortRead32(1, 0, 0, 0), 0xFFFFFFFFu) << int(f);
      PciPortWrite8(0, 28, f, 0x19, 0);
    }
    EXPECT_EQ(none.display.Bridge(), nullptr);
    EXPECT_FALSE(none.display.Mode().programmed);
  }
  sim::PeiBoard bare(WithDisplay(R"({"vga_function": false})"));
  RouteThrough(5);
  EXPECT_EQ(PciPortRead32(1, 0, 0, 0), 0x11501A03u);
  EXPECT_EQ(PciPortRead32(2, 0, 0, 0), 0xFFFFFFFFu);
}

TEST(DisplayHardware, VgaPortsReachTheCpuOnlyThroughBothBridgesForwarding) {
  sim::PeiBoard board(WithDisplay(R"({"vga_enabled": true})"));
  RouteThrough(5);
  EXPECT_EQ(IoRead8(0x3C3), 0xFF); // nothing forwards the VGA range yet
  PciPortWrite16(2, 0, 0, 0x04, 0x1);
  PciPortWrite16(0, 28, 5, 0x3E, 0x08);
  PciPortWrite16(0, 28, 5, 0x04, 0x1);
  EXPECT_EQ(IoRead8(0x3C3), 0xFF); // the display bridge does not forward yet
  PciPortWrite16(1, 0, 0, 0x3E, 0x08);
  PciPortWrite16(1, 0, 0, 0x04, 0x1);
  EXPECT_EQ(IoRead8(0x3C3), 0x01); // enabled at power-on, as the scenario says
  EXPECT_EQ(board.machine.bus.RegionName(sim::Space::Io, 0x3C9), "vga-dac");
  PciPortWrite16(2, 0, 0, 0x04, 0x0); // the function's I/O decode off
  EXPECT_EQ(IoRead8(0x3C3), 0xFF);
  EXPECT_EQ(board.display.Bridge()->Counts().unclaimed, 1u);
  EXPECT_EQ(board.machine.bus.Counts().guest_errors, 0u);
}

TEST(DisplayHardware, BadDisplayKeysNameTheKeyAndTheExpectation) {
  const std::pair<const char *, const char *> cases[] = {
      {R"({"root_port_function": 8})", "display.root_port_function"},
      {R"({"root_port_function": "5"})", "display.root_port_function"},
      {R"({"revision": 256})", "display.revision"},
      {R"({"bars": [{"kind": "prefetchable", "size": 16}]})", "display.bars[0].kind"},
      {R"({"bars": [null, {"kind": "memory", "size": 24}]})", "display.bars[1].size"},
      {R"({"bars": [{"kind": "io", "size": 512}]})", "display.bars[0].size"},
      {R"({"bars": [{"kind": "io"}]})", "display.bars[0]"},
      {R"({"bars": [null, null, null, null, null, null, null]})", "display.bars"},
      {R"({"vga_enabled": 1})", "display.vga_enabled"},
      {R"({"crtc_d0": "0x40"})", "display.crtc_d0"}, // the chip's SCU40 answers instead
      {R"({"bars": [{"kind": "memory", "size": 268435456}], "chip": {"size_mib": 128}})",
       "display.chip.size_mib"},
      {R"({"chip": {"eye": {"vref": [96, 80]}}})", "display.chip.eye.vref"},
      {R"({"colour": true})", "display.colour"},
      {R"([5])", "display"},
  };
  for (const auto &[display, key] : cases) {
    try {
      sim::ParseDisplayConfig(WithDisplay(display));
      ADD_FAILURE() << display << " was accepted";
    } catch (const sim::ScenarioError &e) {
      EXPECT_EQ(e.key, key) << display;
      EXPECT_EQ(e.file, "board.json");
      EXPECT_FALSE(e.expected.empty());
    }
  }
}

} // namespace
