// The VGA core on its own: the enable port gating the others, colour/monochrome decode, CRTC
// write protection and the extended-register lock, the chip status register, the attribute
// flip-flop and palette address source, and the DAC with the sequencer's index read.
#include <gtest/gtest.h>

#include "access/port_io.h"
#include "sim/core/machine.h"
#include "sim/devices/vga/vga_controller.h"

namespace {

struct Vga {
  sim::Machine m;
  sim::VgaController vga{m.bus, "vga"};
  uint8_t status = 0x40;
  Vga() {
    for (const auto &p : vga.PortLeaves()) {
      m.bus.Root(sim::Space::Io).AddSubregion(p.port, p.leaf);
    }
    vga.SetChipStatusSource([this] { return status; });
  }
  void Crtc(uint8_t index, uint8_t value) {
    IoWrite8(0x3D4, index);
    IoWrite8(0x3D5, value);
  }
  uint8_t Crtc(uint8_t index) {
    IoWrite8(0x3D4, index);
    return IoRead8(0x3D5);
  }
  // Enabled, colour-mode addresses.
  void Enable() {
    IoWrite8(0x3C3, 0x01);
    IoWrite8(0x3C2, 0x01);
  }
};

TEST(VgaController, TheEnablePortGatesEveryOtherPortAndMiscOutputPicksTheCrtcAddress) {
  Vga t;
  EXPECT_EQ(IoRead8(0x3C3), 0x00);
  EXPECT_EQ(IoRead8(0x3C4), 0xFF); // not decoded while VGA is off
  IoWrite8(0x3C8, 1);
  EXPECT_EQ(t.m.bus.Counts().unclaimed, 2u);
  IoWrite8(0x3C3, 0xFF);
  EXPECT_EQ(IoRead8(0x3C3), 0x01); // only bit 0 is defined
  // Power-on miscellaneous output 0: monochrome addresses.
  IoWrite8(0x3B4, 0x13);
  EXPECT_EQ(IoRead8(0x3B4), 0x13);
  EXPECT_EQ(IoRead8(0x3D4), 0xFF);
  IoWrite8(0x3C2, 0xE3);
  EXPECT_EQ(IoRead8(0x3CC), 0xE3);
  EXPECT_EQ(IoRead8(0x3D4), 0x13); // one index register, now at 0x3D4
  EXPECT_EQ(IoRead8(0x3BA), 0xFF);
  const uint64_t unclaimed = t.m.bus.Counts().unclaimed;
  IoWrite8(0x3C3, 0x00);
  EXPECT_EQ(IoRead8(0x3C9), 0xFF);
  EXPECT_EQ(t.m.bus.Counts().unclaimed, unclaimed + 1);
  EXPECT_EQ(t.m.bus.Counts().guest_errors, 0u);
}

TEST(VgaController, CrtcProtectionKeepsLineCompareWritableAndTheExtendedSetLocks) {
  Vga t;
  t.Enable();
  t.Crtc(0x00, 0x5F);
  t.Crtc(0x07, 0x00);
  t.Crtc(0x11, 0x8C); // protect on
  t.Crtc(0x00, 0x12);
  t.Crtc(0x07, 0xFF);
  t.Crtc(0x13, 0x64); // outside the protected range
  EXPECT_EQ(t.Crtc(0x00), 0x5F);
  EXPECT_EQ(t.Crtc(0x07), 0x10);
  EXPECT_EQ(t.Crtc(0x13), 0x64);
  t.Crtc(0x11, 0x0C);
  t.Crtc(0x00, 0x12);
  t.Crtc(0x07, 0xE0);
  EXPECT_EQ(t.Crtc(0x00), 0x12);
  EXPECT_EQ(t.Crtc(0x07), 0xE0);

  // Extended registers: writes ignored and reads 0 until CRTC 0x80 holds the key.
  t.Crtc(0xA0, 0x0F);
  EXPECT_EQ(t.Crtc(0xA0), 0x00);
  EXPECT_EQ(t.Crtc(0xD0), 0x00);
  t.Crtc(0x80, 0xA8);
  t.Crtc(0xA0, 0x0F);
  EXPECT_EQ(t.Crtc(0xA0), 0x0F);
  t.Crtc(0x80, 0x00);
  EXPECT_EQ(t.Crtc(0xA0), 0x00);
  t.Crtc(0x80, 0xA8);
  EXPECT_EQ(t.Crtc(0xA0), 0x0F); // kept while locked

  // 0xD0: bits 7:6 from the chip, read-only.
  t.status = 0xFF;
  EXPECT_EQ(t.Crtc(0xD0), 0xC0);
  t.Crtc(0xD0, 0x00);
  t.status = 0x80;
  EXPECT_EQ(t.Crtc(0xD0), 0x80);
}

TEST(VgaController, AttributeFlipFlopResetsOnStatusReadAndThePaletteSourceLocksThePalette) {
  Vga t;
  t.Enable();
  (void)IoRead8(0x3DA);
  IoWrite8(0x3C0, 0x01); // index
  IoWrite8(0x3C0, 0xFF); // data: palette registers have 6 bits
  IoWrite8(0x3C0, 0x10);
  IoWrite8(0x3C0, 0x01);
  EXPECT_EQ(t.vga.Attribute(0x01), 0x3F);
  EXPECT_EQ(t.vga.Attribute(0x10), 0x01);
  // A status read in the middle: the next write is an index again.
  IoWrite8(0x3C0, 0x02);
  (void)IoRead8(0x3DA);
  IoWrite8(0x3C0, 0x21); // index 1 with the palette address source bit
  EXPECT_TRUE(t.vga.PaletteAddressSource());
  EXPECT_EQ(IoRead8(0x3C0), 0x21);
  EXPECT_EQ(t.vga.Attribute(0x02), 0x00);
  IoWrite8(0x3C0, 0x05); // palette registers are the display's now: ignored
  EXPECT_EQ(IoRead8(0x3C1), 0x3F);
  (void)IoRead8(0x3DA);
  IoWrite8(0x3C0, 0x01);
  IoWrite8(0x3C0, 0x05);
  EXPECT_FALSE(t.vga.PaletteAddressSource());
  EXPECT_EQ(t.vga.Attribute(0x01), 0x05);
}

TEST(VgaController, TheDacAndTheSequencerIndexAnswerThePaletteWritesAndTheirDelayReads) {
  Vga t;
  t.Enable();
  IoWrite16(0x3C4, 0x2101); // sequencer 0x01 = 0x21: index and data in one access
  EXPECT_EQ(t.vga.Sequencer(0x01), 0x21);
  IoWrite8(0x3C8, 5);
  EXPECT_EQ(IoRead8(0x3C4), 0x01); // the delay read after each palette write
  for (uint8_t v : {0x3F, 0x80, 0x15}) {
    IoWrite8(0x3C9, v);
    (void)IoRead8(0x3C4);
  }
  EXPECT_EQ(t.vga.Dac().Palette()[5], (sim::Rgb6{0x3F, 0x00, 0x15}));
  EXPECT_EQ(t.m.bus.Counts().unclaimed, 0u);

  // Power-on state comes back with Reset, VGA decoding as the board sets it.
  t.vga.SetPowerOnEnable(true);
  t.vga.Reset();
  EXPECT_EQ(IoRead8(0x3C3), 0x01);
  EXPECT_EQ(t.vga.Sequencer(0x01), 0x00);
  EXPECT_EQ(t.vga.Dac().Palette()[5], sim::Rgb6{});
  EXPECT_EQ(IoRead8(0x3D4), 0xFF); // monochrome addresses again
}

} // namespace
