// EnableGraphicsController and OpenHostMmioWindow against the board's models: which root port
// functions are tried and returned, BARs and bridge windows as the hardware holds them, the
// extended CRTC set-up per revision, the early return when VGA decoding is already on, and the
// failures that leave the controller alone or undo what they began.
#include <gtest/gtest.h>

#include "access/mmio.h"
#include "access/port_io.h"
#include "modules/boot_progress_pei/graphics/bridge_discovery.h"
#include "sim/hostile/lying_bus.h"
#include "sim/hostile/pei_invariants.h"
#include "tests/graphics/display_board.h"

namespace {

using test::BusEvent;
using test::ConfigWriteOf;
using test::DisplayBoard;
using test::StallOf;

std::vector<BusEvent> BusNumbers(uint8_t f, uint8_t sec, uint8_t sub) {
  return {ConfigWriteOf(0, 28, f, 0x18, 0), ConfigWriteOf(0, 28, f, 0x19, sec),
          ConfigWriteOf(0, 28, f, 0x1A, sub)};
}

TEST(FindGraphicsBridge, TriesEachRootPortFunctionAndReturnsTheMissesToBusZero) {
  DisplayBoard b(R"({"root_port_function": 3})");
  b.StartTrace();
  b.state.NextMmio = kMmioCursorStart;
  b.state.NextIo = kIoCursorStart;
  ASSERT_EQ(FindGraphicsBridge(&b.state, b.board.core.Services(), 0), EFI_SUCCESS);
  const std::vector<BusEvent> all = test::ConfigWritesAndStalls(b.Events());
  const auto at = all.begin();
  std::vector<BusEvent> want;
  for (uint8_t f = 0; f < 3; ++f) {
    for (const auto &e : BusNumbers(f, 1, 2)) {
      want.push_back(e);
    }
    want.push_back(StallOf(1000));
    for (const auto &e : BusNumbers(f, 0, 0)) {
      want.push_back(e);
    }
  }
  for (const auto &e : BusNumbers(3, 1, 2)) {
    want.push_back(e);
  }
  want.push_back(StallOf(1000));
  want.push_back(ConfigWriteOf(1, 0, 0, 0x18, 1));
  want.push_back(ConfigWriteOf(1, 0, 0, 0x19, 2));
  want.push_back(ConfigWriteOf(1, 0, 0, 0x1A, 2));
  want.push_back(StallOf(1000));
  ASSERT_GE(static_cast<size_t>(all.end() - at), want.size());
  EXPECT_EQ(std::vector<BusEvent>(at, at + static_cast<ptrdiff_t>(want.size())), want);

  for (uint8_t f = 0; f < 8; ++f) {
    const bool path = f == 3;
    EXPECT_EQ(b.Config(0, 28, f, 0x18, 4) & 0xFFFFFF, path ? 0x020100u : 0u) << int(f);
    EXPECT_EQ(b.Config(0, 28, f, 0x04, 2), path ? 7u : 0u) << int(f);
    EXPECT_EQ(b.Config(0, 28, f, 0x3E, 2), path ? 0x08u : 0u) << int(f);
  }
  EXPECT_EQ(b.state.Bus, 2);
  EXPECT_EQ(b.state.Device, 0);
  EXPECT_EQ(b.state.Function, 0);
}

TEST(AssignDeviceBars, ThreeBarsGetTheirAddressesAndBothBridgesTheirWindows) {
  DisplayBoard b;
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  EXPECT_EQ(b.Config(2, 0, 0, 0x10, 4), 0xA0000000u);
  EXPECT_EQ(b.Config(2, 0, 0, 0x14, 4), 0xA1000000u);
  EXPECT_EQ(b.Config(2, 0, 0, 0x18, 4), 0x6001u);
  EXPECT_EQ(b.Config(2, 0, 0, 0x1C, 4), 0u); // absent BARs keep reading 0
  EXPECT_EQ(b.Config(2, 0, 0, 0x04, 2), 7u);
  EXPECT_EQ(b.state.NextMmio, 0xA1100000u);
  EXPECT_EQ(b.state.NextIo, 0x6080u);
  EXPECT_EQ(b.state.FrameBufferBase, 0xA0000000u);
  EXPECT_EQ(b.state.MmioBase, 0xA1000000u);
  EXPECT_EQ(b.state.Revision, 0x40);
  for (const auto &where : {std::tuple{0, 28, 5}, std::tuple{1, 0, 0}}) {
    const auto c = [&](uint16_t reg, unsigned w) {
      const auto [bus, dev, fn] = where;
      return b.Config(static_cast<uint8_t>(bus), static_cast<uint8_t>(dev),
                      static_cast<uint8_t>(fn), reg, w);
    };
    EXPECT_EQ(c(0x1C, 1), 0x60u);
    EXPECT_EQ(c(0x1D, 1), 0x60u);
    EXPECT_EQ(c(0x20, 2), 0xA000u);
    EXPECT_EQ(c(0x22, 2), 0xA100u);
    EXPECT_EQ(c(0x3E, 2), 0x08u);
    EXPECT_EQ(c(0x04, 2), 7u);
  }
  // The frame buffer (the chip's DRAM) and the chip's register window decode through the
  // windows; below its control registers the window has nothing.
  EXPECT_EQ(b.board.machine.bus.RegionName(sim::Space::Memory, 0xA0000000), "chip-dram");
  EXPECT_EQ(b.board.machine.bus.RegionName(sim::Space::Memory, 0xA100F000), "chip-window");
  const uint64_t unclaimed = b.board.display.Chip()->window.Counts().unclaimed;
  (void)MmioRead32(0xA1000000);
  EXPECT_EQ(b.board.display.Chip()->window.Counts().unclaimed, unclaimed + 1);
}

TEST(AssignDeviceBars, WithoutAnIoBarBothIoWindowsStayClosed) {
  DisplayBoard b(R"({"bars": [{"kind": "memory", "size": 16777216},
                               {"kind": "memory", "size": 131072}]})");
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  EXPECT_EQ(b.state.NextIo, 0x6000u);
  for (auto [bus, dev, fn] : {std::tuple{0, 28, 5}, std::tuple{1, 0, 0}}) {
    EXPECT_EQ(b.Config(static_cast<uint8_t>(bus), static_cast<uint8_t>(dev),
                       static_cast<uint8_t>(fn), 0x1C, 2),
              0x0010u);
    EXPECT_FALSE(b.board.display.RootPort(5).IoWindow().open);
    EXPECT_FALSE(b.board.display.Bridge()->IoWindow().open);
  }
  EXPECT_TRUE(b.board.display.Mode().screen_on); // VGA forwarding does not need the window
}

// Writes as they reach the bus: memory, configuration data ports, VGA ports.
struct WriteCounter : sim::AccessObserver {
  explicit WriteCounter(sim::Bus &bus) : bus(bus) { bus.AddObserver(this); }
  ~WriteCounter() override { bus.RemoveObserver(this); }
  void Observe(sim::Space space, bool write, uint64_t addr, unsigned, uint64_t,
               const sim::Device *) override {
    if (!write) {
      return;
    }
    if (space == sim::Space::Memory) {
      ++memory;
    } else if (addr >= 0xCFC && addr <= 0xCFF) {
      ++config_data;
    } else if (addr >= 0x3B0 && addr <= 0x3DF) {
      ++vga_ports;
    }
  }
  sim::Bus &bus;
  uint64_t memory = 0, config_data = 0, vga_ports = 0;
};

std::string Bars(std::initializer_list<std::pair<const char *, uint32_t>> bars) {
  std::string text = R"({"bars": [)";
  for (const auto &[kind, size] : bars) {
    text += std::string(text.back() == '[' ? "" : ", ") + R"({"kind": ")" + kind +
            R"(", "size": )" + std::to_string(size) + "}";
  }
  return text + "]}";
}

// The path's bridges: root port 0:28.5 and the display bridge.
void ExpectWindowsClosed(DisplayBoard &b, const std::string &what) {
  for (sim::PciBridge *bridge : {&b.board.display.RootPort(5), b.board.display.Bridge()}) {
    EXPECT_FALSE(bridge->MemoryWindow().open) << what << " " << bridge->Name();
    EXPECT_FALSE(bridge->IoWindow().open) << what << " " << bridge->Name();
  }
}

TEST(AssignDeviceBars, EachBarIsAlignedToItsSizeSoNoTwoRangesOverlap) {
  DisplayBoard b(Bars({{"memory", 16u << 20},
                       {"memory", 128u << 10},
                       {"memory", 64u << 20},
                       {"memory", 256u << 20},
                       {"io", 16},
                       {"io", 256}}));
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  EXPECT_EQ(b.Config(2, 0, 0, 0x10, 4), 0xA0000000u);
  EXPECT_EQ(b.Config(2, 0, 0, 0x14, 4), 0xA1000000u);
  EXPECT_EQ(b.Config(2, 0, 0, 0x18, 4), 0xA4000000u); // not 0xA1100000
  EXPECT_EQ(b.Config(2, 0, 0, 0x1C, 4), 0xB0000000u); // not 0xA5100000, over the frame
  EXPECT_EQ(b.Config(2, 0, 0, 0x20, 4), 0x6001u);
  EXPECT_EQ(b.Config(2, 0, 0, 0x24, 4), 0x6101u); // not 0x6011
  EXPECT_EQ(b.state.NextMmio, 0xC0000000u);
  EXPECT_EQ(b.Config(1, 0, 0, 0x22, 2), 0xBFF0u);
  EXPECT_EQ(b.board.machine.bus.Counts().guest_errors, 0u);
  EXPECT_EQ(b.board.machine.bus.RegionName(sim::Space::Memory, 0xA0000000), "chip-dram");
}

// Six BARs of 256 MiB would reach 0xF0000000 and on over the platform's fixed ranges and the
// flash; after a register window the last one runs past the host window's limit.
TEST(AssignDeviceBars, ABarThatDoesNotFitFailsWithDecodingOffAndTheWindowsClosed) {
  const std::string cases[] = {
      Bars({{"memory", 256u << 20},
            {"memory", 256u << 20},
            {"memory", 256u << 20},
            {"memory", 256u << 20},
            {"memory", 256u << 20},
            {"memory", 256u << 20}}),
      Bars({{"memory", 256u << 20},
            {"memory", 128u << 10},
            {"memory", 256u << 20},
            {"memory", 256u << 20},
            {"memory", 256u << 20},
            {"memory", 256u << 20}}),
  };
  for (const std::string &bars : cases) {
    DisplayBoard b(bars.substr(0, bars.size() - 1) + R"(, "chip": {"size_mib": 1024}})");
    b.StartTrace();
    EXPECT_EQ(b.Enable(), EFI_OUT_OF_RESOURCES) << bars;
    EXPECT_EQ(b.Config(2, 0, 0, 0x04, 2) & 7, 0u) << bars;
    ExpectWindowsClosed(b, bars);
    EXPECT_FALSE(test::TouchesVgaPorts(b.Events())) << bars;
    EXPECT_EQ(b.board.machine.bus.Counts().guest_errors, 0u) << bars;
    for (uint16_t reg = 0x10; reg < 0x28; reg += 4) {
      const uint32_t bar = static_cast<uint32_t>(b.Config(2, 0, 0, reg, 4)) & ~0xFu;
      EXPECT_TRUE(bar < 0xFB000000u || bar == 0xFFFFFFF0u) << bars << " " << reg;
    }
  }
}

// An I/O BAR that claims 64 KiB (as a lying function can) would wrap the I/O cursor past 0xFFFF.
TEST(AssignDeviceBars, AnIoBarBeyondTheIoRangeFails) {
  DisplayBoard b;
  sim::LyingBus liar(b.board.machine.bus);
  liar.Lie({sim::ReadPath::Config, b.board.display.Function(), 0x18, 0x1B});
  // BAR2 first read as it is, then its size mask read as 64 KiB of I/O.
  const uint8_t answers[] = {0x00, 0x01, 0x01, 0x00, 0xFF, 0xFF};
  liar.Feed(answers, sizeof answers);
  EXPECT_EQ(b.Enable(), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(liar.Lies(), 1u);
  EXPECT_EQ(b.Config(2, 0, 0, 0x04, 2) & 7, 0u);
  ExpectWindowsClosed(b, "64 KiB of I/O");
  EXPECT_NE(b.Config(2, 0, 0, 0x18, 4), 0x10001u);
}

// The chip is reached through BAR1 at +0xF000 and +0x10000 to +0x1FFFF: a BAR1 that is absent,
// an I/O BAR or smaller than that fails the bring-up before anything goes through it.
TEST(AssignDeviceBars, ABar1ThatCannotHoldTheRegisterWindowIsUnsupported) {
  const std::string cases[] = {
      Bars({{"memory", 16u << 20}}),
      Bars({{"memory", 16u << 20}, {"io", 256}}),
      Bars({{"memory", 16u << 20}, {"memory", 64u << 10}}),
  };
  for (const std::string &bars : cases) {
    DisplayBoard b(bars);
    OpenHostMmioWindow();
    WriteCounter writes(b.board.machine.bus);
    EXPECT_EQ(EnableGraphicsController(&b.state, b.board.core.Services()), EFI_UNSUPPORTED) << bars;
    EXPECT_EQ(b.Config(2, 0, 0, 0x04, 2) & 7, 0u) << bars;
    ExpectWindowsClosed(b, bars);
    EXPECT_EQ(writes.memory, 0u) << bars << ": wrote beyond configuration space";
    EXPECT_EQ(writes.vga_ports, 0u) << bars;
  }
}

// A BAR or a window over a fixed platform range is a decode conflict the board reports.
TEST(DecodeConflict, ABarOrWindowOverAFixedRangeIsAGuestError) {
  DisplayBoard b;
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  sim::Bus &bus = b.board.machine.bus;
  ASSERT_EQ(bus.Counts().guest_errors, 0u);
  sim::PciFunction &vga = *b.board.display.Function();
  vga.ConfigWrite(0x14, 4, 0xFF000000); // BAR1 over the boot flash
  EXPECT_EQ(bus.Counts().guest_errors, 1u);
  EXPECT_EQ(bus.RegionName(sim::Space::Memory, 0xFF000000), "flash"); // the flash keeps it
  vga.ConfigWrite(0x14, 4, 0xA1000000);
  sim::PciBridge &bridge = *b.board.display.Bridge();
  bridge.ConfigWrite(0x22, 2, 0xFFF0); // memory window up to 4 GiB
  EXPECT_EQ(bus.Counts().guest_errors, 2u);
  bridge.ConfigWrite(0x22, 2, 0xFEB0); // ends below the fixed ranges
  EXPECT_EQ(bus.Counts().guest_errors, 2u);
}

struct RevisionCase {
  uint8_t revision;
  uint8_t a2, b6;
  bool rev40Values;
  uint8_t c0, c1, bb;
  uint8_t a7, a6;
};

class ExtendedCrtcByRevision : public ::testing::TestWithParam<RevisionCase> {};

TEST_P(ExtendedCrtcByRevision, DefaultsClockAndFifoValues) {
  const RevisionCase r = GetParam();
  DisplayBoard b(R"({"revision": )" + std::to_string(r.revision) + "}");
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  EXPECT_EQ(b.Crtc(0x80), 0xA8);
  EXPECT_EQ(b.Crtc(0xA1), 0x04);
  EXPECT_EQ(b.Crtc(0xA2), r.a2);
  EXPECT_EQ(b.Crtc(0xB6), r.b6);
  EXPECT_EQ(b.Crtc(0xB7), 0xF0);
  const uint8_t rev40[][2] = {{0xBC, 0x40}, {0xBD, 0x38}, {0xBE, 0x3A},
                              {0xBF, 0x38}, {0xCF, 0x70}, {0xB5, 0xA8}};
  for (const auto &[index, value] : rev40) {
    EXPECT_EQ(b.Crtc(index), r.rev40Values ? value : 0) << std::hex << int(index);
  }
  // Pixel clock for the 60 Hz row; 0xBB keeps its low four bits (0x3 from revision 0x40's set-up).
  EXPECT_EQ(b.Crtc(0xC0), r.c0);
  EXPECT_EQ(b.Crtc(0xC1), r.c1);
  EXPECT_EQ(b.Crtc(0xBB), r.bb);
  EXPECT_EQ(b.Crtc(0xA7), r.a7);
  EXPECT_EQ(b.Crtc(0xA6), r.a6);
  // The scratch registers are cleared but for the mode the BMC reads.
  for (unsigned i = 0x81; i <= 0x9D; ++i) {
    const uint8_t want = i == 0x8C ? 0x10 : i == 0x8D ? 0x02 : i == 0x8E ? 0x30 : 0;
    EXPECT_EQ(b.Crtc(static_cast<uint8_t>(i)), want) << std::hex << i;
  }
  const sim::DisplayMode m = b.board.display.Mode();
  EXPECT_EQ(m.width, 800u);
  EXPECT_EQ(m.height, 600u);
  EXPECT_EQ(m.bpp, 8u);
}

INSTANTIATE_TEST_SUITE_P(
    Revisions, ExtendedCrtcByRevision,
    ::testing::Values(RevisionCase{0x1F, 0x1C, 0x04, false, 0xEE, 0x67, 0x10, 0x3F, 0x2F},
                      RevisionCase{0x20, 0x1F, 0x24, false, 0xEE, 0x67, 0x10, 0x78, 0x60},
                      RevisionCase{0x30, 0x1F, 0x24, false, 0xEE, 0x67, 0x10, 0x78, 0x60},
                      RevisionCase{0x40, 0x1F, 0x24, true, 0x31, 0x28, 0x73, 0x78, 0x60}));

TEST(EnableGraphicsController, VgaAlreadyOnReturnsAfterThePciSetUpTouchingNothingElse) {
  DisplayBoard b(R"({"vga_enabled": true})");
  b.board.display.FrameMemory()->Data()[0] = 0x5A;
  b.StartTrace();
  ASSERT_EQ(b.Enable(), EFI_SUCCESS);
  EXPECT_EQ(b.Config(2, 0, 0, 0x10, 4), 0xA0000000u); // the PCI set-up was done
  std::vector<BusEvent> vga;
  for (const BusEvent &e : b.Events()) {
    if (e.kind == BusEvent::VgaPort) {
      vga.push_back(e);
    }
  }
  ASSERT_EQ(vga.size(), 1u); // the read of 0x3C3, nothing more
  EXPECT_EQ(vga[0].value, 0x3C3u);
  EXPECT_FALSE(vga[0].write);
  EXPECT_EQ(b.board.display.FrameMemory()->Data()[0], 0x5A); // no frame clear
  EXPECT_EQ(b.Vga().MiscOutput(), 0x00);
  EXPECT_EQ(b.Vga().Dac().EntryWrites(), 0u);
}

TEST(OpenHostMmioWindow, ProgramsBothDecodersOnceFromTheConfigurationBase) {
  for (const auto &[base, rule, windowBase] : {std::tuple{"0x80000000", 0xFB000049u, 0x9000u},
                                               std::tuple{"0xC0000000", 0xFB000069u, 0xD000u}}) {
    DisplayBoard b("{}", std::string(R"(, "host": {"config_base": ")") + base + "\"}");
    b.StartTrace();
    EXPECT_EQ(OpenHostMmioWindow(), 0u);
    EXPECT_EQ(b.Config(17, 29, 1, 0x40, 4), rule);
    EXPECT_EQ(b.Config(0, 5, 0, 0x10C, 2), windowBase);
    EXPECT_EQ(b.Config(0, 5, 0, 0x10E, 2), 0xFB00u);
    EXPECT_TRUE(b.board.pci.MmioWindow().open);
    (void)b.Events();
    // Once enabled, only the upper half of the rule is written again.
    EXPECT_EQ(OpenHostMmioWindow(), 0u);
    const auto writes = test::ConfigWritesAndStalls(b.Events());
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], ConfigWriteOf(17, 29, 1, 0x44, 0));
  }
}

// A configuration base that configuration space does not answer at (a lying host bridge) would
// send the window writes anywhere: nothing is written.
TEST(OpenHostMmioWindow, ABaseWhereConfigurationSpaceDoesNotAnswerWritesNothing) {
  DisplayBoard b;
  sim::LyingBus liar(b.board.machine.bus, sim::LyingBus::Mode::Always);
  liar.Lie({sim::ReadPath::Config, b.board.pci.Route(0, 5, 0), 0x90, 0x93});
  const uint8_t flashBase[] = {0x00, 0x00, 0x00, 0xFF};
  liar.Feed(flashBase, sizeof flashBase);
  sim::BusMonitor monitor(b.board.machine.bus, sim::PeiBootRules(b.board));
  WriteCounter writes(b.board.machine.bus);
  EXPECT_EQ(OpenHostMmioWindow(), 0u);
  EXPECT_TRUE(monitor.Clean()) << monitor.Report();
  EXPECT_FALSE(b.board.pci.MmioWindow().open);
  EXPECT_EQ(writes.memory, 0u);
  EXPECT_EQ(writes.config_data, 0u);
}

// An absent host bridge reads all ones, which also reads back as itself wherever nothing decodes
// (q35 has no such bridge): no base, nothing written.
TEST(OpenHostMmioWindow, AnAbsentHostBridgeWritesNothing) {
  DisplayBoard b;
  sim::LyingBus liar(b.board.machine.bus, sim::LyingBus::Mode::Always);
  liar.Lie({sim::ReadPath::Config, b.board.pci.Route(0, 5, 0), 0x90, 0x93});
  const uint8_t allOnes[] = {0xFF, 0xFF, 0xFF, 0xFF};
  liar.Feed(allOnes, sizeof allOnes);
  WriteCounter writes(b.board.machine.bus);
  EXPECT_EQ(OpenHostMmioWindow(), 0u);
  EXPECT_EQ(writes.memory, 0u);
  EXPECT_EQ(writes.config_data, 0u);
}

TEST(EnableGraphicsController, NoVgaFunctionBehindTheBridgeIsNotFoundAndTheControllerUntouched) {
  DisplayBoard b(R"({"vga_function": false})");
  b.StartTrace();
  EXPECT_EQ(b.Enable(), EFI_NOT_FOUND);
  EXPECT_FALSE(test::TouchesVgaPorts(b.Events()));
  EXPECT_EQ(b.Config(1, 0, 0, 0x04, 2), 0u); // no windows or decoding turned on
}

TEST(EnableGraphicsController, AFrameBufferBarThatCannotHoldTheScreenIsUnsupported) {
  for (const char *bars :
       {R"([{"kind": "memory", "size": 262144}, {"kind": "memory", "size": 131072}])",
        R"([{"kind": "io", "size": 128}, {"kind": "memory", "size": 16777216}])"}) {
    DisplayBoard b(std::string(R"({"bars": )") + bars + "}");
    b.StartTrace();
    EXPECT_EQ(b.Enable(), EFI_UNSUPPORTED) << bars;
    EXPECT_FALSE(test::TouchesVgaPorts(b.Events())) << bars;
    EXPECT_EQ(b.Config(2, 0, 0, 0x04, 2), 0u) << bars; // the function does not decode
  }
}

TEST(EnableGraphicsController, AChipThatNeverRunsTurnsVgaDecodingOffAgainSoTheNextCallRetries) {
  DisplayBoard b;
  uint8_t chip = 0x80; // started by the BMC, never reporting that it runs
  b.board.display.SetChipStatusSource([&] { return chip; });
  EXPECT_EQ(b.Enable(), EFI_TIMEOUT);
  EXPECT_EQ(b.Vga().Enabled(), false);
  EXPECT_EQ(b.Vga().Sequencer(0x00), 0x00); // no mode loaded
  EXPECT_EQ(b.Vga().Dac().EntryWrites(), 0u);
  chip = 0x40;
  EXPECT_EQ(b.Enable(), EFI_SUCCESS);
  EXPECT_TRUE(b.board.display.Mode().screen_on);
}

} // namespace
