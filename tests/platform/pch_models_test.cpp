// The PCH models on their own, reached as firmware reaches them: configuration space through
// ECAM, the POST-code port, and the GPIO communities' private configuration space.
#include <gtest/gtest.h>

#include <vector>

#include "sim/core/machine.h"
#include "sim/devices/pch/gpio_community.h"
#include "sim/devices/pch/lpc_bridge.h"
#include "sim/devices/pch/p2sb.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/devices/pci/pci_ids.h"

namespace {

using sim::Space;

constexpr uint64_t kEcam = 0x80000000;
constexpr uint64_t kLpc = kEcam + 0xF8000;
constexpr uint64_t kP2sb = kEcam + 0xF9000;

struct Pch {
  explicit Pch(const sim::P2sb::Behaviour &b = {}) : p2sb(m.bus, pci.RootBus0(), b) {}

  uint64_t R(uint64_t addr, unsigned width) { return m.bus.Read(Space::Memory, addr, width); }
  void W(uint64_t addr, unsigned width, uint64_t v) { m.bus.Write(Space::Memory, addr, width, v); }
  // Fills the sideband interface for a GPIO-lock message and starts it.
  void Send(uint8_t port, uint64_t offset, uint32_t data, uint8_t opcode = 0x13) {
    W(kP2sb + 0xD0, 4, (uint32_t{port} << 24) | (offset & 0xFFFF));
    W(kP2sb + 0xDC, 4, offset >> 16);
    W(kP2sb + 0xD8, 2, uint32_t{opcode} << 8);
    W(kP2sb + 0xDA, 2, 0xF000);
    W(kP2sb + 0xD4, 4, data);
    W(kP2sb + 0xD8, 2, R(kP2sb + 0xD8, 2) | 1);
  }
  // Status reads until the interface is idle (at most `limit`); returns how many showed busy.
  unsigned BusyReads(unsigned limit = 100) {
    unsigned n = 0;
    while (n < limit && (R(kP2sb + 0xD8, 2) & 1) != 0) {
      ++n;
    }
    return n;
  }

  sim::Machine m;
  sim::PciHost pci{m.bus, kEcam};
  sim::LpcBridge lpc{m.bus, pci.RootBus0(), 0xA1C3};
  sim::P2sb p2sb;
};

struct Endpoint : sim::SidebandEndpoint {
  std::vector<sim::SidebandRequest> got;
  uint8_t answer = 0;
  uint8_t SidebandMessage(const sim::SidebandRequest &r) override {
    got.push_back(r);
    return answer;
  }
};

TEST(LpcBridge, IdentifiesThePchAndLatchesPostCodes) {
  Pch pch;
  EXPECT_EQ(pch.R(kLpc + 0x02, 2), 0xA1C3u);
  EXPECT_EQ(pch.R(kLpc + 0x0A, 2), 0x0601u);      // ISA bridge
  EXPECT_EQ(pch.R(kLpc + 0x0E, 1) & 0x80, 0x80u); // function 1 follows
  pch.m.bus.Write(Space::Io, 0x80, 1, 0x5A);
  pch.m.bus.Write(Space::Io, 0x80, 1, 0xC3);
  EXPECT_EQ(pch.m.bus.Read(Space::Io, 0x80, 1), 0xC3u); // the last code, not all ones
  EXPECT_EQ(pch.m.bus.Read(Space::Io, 0x80, 1), 0xC3u); // a read changes nothing
  EXPECT_EQ(pch.lpc.PostCodeWrites(), 2u);
  EXPECT_EQ(pch.m.bus.Counts().unclaimed, 0u);
  pch.lpc.Reset();
  EXPECT_EQ(pch.m.bus.Read(Space::Io, 0x80, 1), 0u);
}

TEST(SidebandBridge, VisibleWhenTheBoardSaysSo) {
  Pch visible({.hidden = false});
  EXPECT_EQ(visible.R(kP2sb + 0x00, 2), sim::kBoardVendorId);
}

TEST(SidebandBridge, HiddenReadsAllOnesAndOnlyTheHideRegisterTakesWrites) {
  Pch pch;
  EXPECT_TRUE(pch.p2sb.Hidden());
  for (uint64_t reg : {0x00, 0x0C, 0x10, 0xD0, 0xD8, 0xE0, 0xFFC}) {
    EXPECT_EQ(pch.R(kP2sb + reg, 4), 0xFFFFFFFFu) << std::hex << reg;
  }
  EXPECT_EQ(pch.R(kP2sb + 0xE1, 1), 0xFFu);
  pch.W(kP2sb + 0xD4, 4, 0x12345678); // ignored while hidden
  pch.W(kP2sb + 0xD8, 2, 1);          // starts nothing
  pch.W(kP2sb + 0xE1, 1, 0);          // reveal
  EXPECT_FALSE(pch.p2sb.Hidden());
  EXPECT_EQ(pch.R(kP2sb + 0x00, 2), sim::kBoardVendorId);
  EXPECT_EQ(pch.R(kP2sb + 0xD4, 4), 0u);
  EXPECT_EQ(pch.R(kP2sb + 0xD8, 2), 0u);
  EXPECT_EQ(pch.R(kP2sb + 0xE1, 1), 0u);
  pch.W(kP2sb + 0xD4, 4, 0x12345678);
  EXPECT_EQ(pch.R(kP2sb + 0xD4, 4), 0x12345678u);
  pch.W(kP2sb + 0xE1, 1, 0xFF); // only bit 0 is the hide bit
  EXPECT_TRUE(pch.p2sb.Hidden());
  EXPECT_EQ(pch.R(kP2sb + 0xD4, 4), 0xFFFFFFFFu);
  EXPECT_EQ(pch.p2sb.HideWrites(), (std::vector<uint8_t>{0, 1}));
  pch.p2sb.Reset();
  EXPECT_TRUE(pch.p2sb.Hidden());
}

TEST(SidebandBridge, MessageStaysBusyThenDeliversAndReportsStatus) {
  Pch pch({.hidden = false, .busy_reads = 3});
  Endpoint ep;
  pch.p2sb.AddEndpoint(0xAF, &ep);
  pch.Send(0xAF, 0x0001'0068, 0xCAFE0021);
  EXPECT_TRUE(ep.got.empty()); // not before the port has answered
  EXPECT_EQ(pch.BusyReads(), 3u);
  ASSERT_EQ(ep.got.size(), 1u);
  EXPECT_EQ(ep.got[0].port, 0xAF);
  EXPECT_EQ(ep.got[0].opcode, 0x13);
  EXPECT_FALSE(ep.got[0].posted);
  EXPECT_EQ(ep.got[0].offset, 0x0001'0068u);
  EXPECT_EQ(ep.got[0].data, 0xCAFE0021u);
  EXPECT_EQ(ep.got[0].byte_enables, 0xF);
  EXPECT_EQ(pch.R(kP2sb + 0xD8, 2), 0x1300u); // idle, status 0, opcode kept

  ep.answer = 3;
  pch.Send(0xAF, 0x68, 1);
  pch.BusyReads();
  EXPECT_EQ(pch.R(kP2sb + 0xD8, 2) & 6, 6u);
  pch.Send(0x42, 0x68, 1); // nobody answers at this port
  pch.BusyReads();
  EXPECT_EQ((pch.R(kP2sb + 0xD8, 2) >> 1) & 3, 1u);
  EXPECT_EQ(pch.p2sb.Messages().size(), 3u);
}

TEST(SidebandBridge, EveryPortRefusingWithAStatus) {
  Pch refusing({.hidden = false, .busy_reads = 0, .status = 2});
  Endpoint ep;
  refusing.p2sb.AddEndpoint(0xAF, &ep);
  refusing.Send(0xAF, 0x68, 1);
  EXPECT_EQ(refusing.BusyReads(), 0u);
  EXPECT_EQ((refusing.R(kP2sb + 0xD8, 2) >> 1) & 3, 2u);
  EXPECT_TRUE(ep.got.empty()); // refused: the port never sees it
}

TEST(SidebandBridge, StuckInterfaceStaysBusy) {
  Endpoint ep;
  Pch stuck({.hidden = false, .stuck = true});
  stuck.p2sb.AddEndpoint(0xAF, &ep);
  stuck.Send(0xAF, 0x68, 1);
  EXPECT_EQ(stuck.BusyReads(1000), 1000u);
  stuck.W(kP2sb + 0xD8, 2, 0); // software cannot clear busy
  EXPECT_TRUE(stuck.p2sb.Busy());
  EXPECT_EQ(stuck.R(kP2sb + 0xD8, 2) & 1, 1u);
  EXPECT_TRUE(ep.got.empty());
  stuck.p2sb.Reset();
  EXPECT_FALSE(stuck.p2sb.Busy());
}

class GpioCommunityTest : public ::testing::Test {
protected:
  static constexpr uint64_t kBase = 0xFD000000 + (0xAFull << 16); // groups 0, 1 and 5
  GpioCommunityTest() {
    sim::GpioPadStates pads;
    pads[{1, 5}] = {.level = 1, .dw0 = 0x40000300};
    pads[{1, 6}] = {.level = 1, .dw0 = 0x40000101, .locked = true};
    pads[{1, 10}] = {.owner = 3};
    pads[{1, 7}] = {.dw0 = 0x40000001, .tx_locked = true};
    gpio = std::make_unique<sim::GpioCommunity>(pch.m.bus, 0xAF, pads);
    pch.p2sb.AddEndpoint(0xAF, gpio.get());
  }
  uint64_t Dw0(unsigned pad) { return kBase + 0x4C0 + 8 * pad; } // group 1
  uint32_t R(uint64_t a) { return static_cast<uint32_t>(pch.R(a, 4)); }

  Pch pch{{.hidden = false, .busy_reads = 1}};
  std::unique_ptr<sim::GpioCommunity> gpio;
};

TEST_F(GpioCommunityTest, InputStateFollowsTheLevelOnlyWithTheInputBufferOn) {
  EXPECT_EQ(R(Dw0(5)) & 2, 0u); // level 1, input buffer disabled (bit 9)
  pch.W(Dw0(5), 4, 0x40000100);
  EXPECT_EQ(R(Dw0(5)), 0x40000102u);
  gpio->SetPadLevel(1, 5, 0);
  EXPECT_EQ(R(Dw0(5)), 0x40000100u);
  pch.W(Dw0(5), 4, 0x40000102 | 0x08000000); // the input state and reserved bit 27 are not writable
  EXPECT_EQ(R(Dw0(5)), 0x40000100u);
  gpio->SetPadLevel(1, 5, 1);
  EXPECT_EQ(gpio->InputReads(1, 5).last_level_read, 0); // a model-side look is not a read
  EXPECT_EQ(R(Dw0(5)), 0x40000102u);
  EXPECT_EQ(gpio->InputReads(1, 5).last_level_read, 1);
}

TEST_F(GpioCommunityTest, OwnershipAndLocksAreReadOnlyToMemoryWrites) {
  EXPECT_EQ(R(kBase + 0x2C), 0u);
  EXPECT_EQ(R(kBase + 0x30), 0x300u); // PAD_OWN + 4: pad 10's nibble
  pch.W(kBase + 0x30, 4, 0);
  EXPECT_EQ(R(kBase + 0x30), 0x300u);
  EXPECT_EQ(R(kBase + 0x68), 0x40u); // PADCFGLOCK
  pch.W(kBase + 0x68, 4, 0xFFFFFFFF);
  pch.W(kBase + 0x6C, 4, 0xFFFFFFFF);
  EXPECT_EQ(R(kBase + 0x68), 0x40u);
  EXPECT_EQ(R(kBase + 0x6C), 0x80u);
  pch.W(kBase + 0x84, 4, 0xFFFFFFFF); // HOSTSW_OWN: the group's 24 pads
  EXPECT_EQ(R(kBase + 0x84), 0x00FFFFFFu);
}

TEST_F(GpioCommunityTest, LockedPadsKeepTheirConfiguration) {
  pch.W(Dw0(6), 4, 0x80000300);
  pch.W(Dw0(6) + 4, 4, 0x3C00);
  EXPECT_EQ(R(Dw0(6)), 0x40000102u); // configuration lock: only the output level changed
  EXPECT_EQ(R(Dw0(6) + 4), 0u);
  pch.W(Dw0(7), 4, 0x40000300);
  EXPECT_EQ(R(Dw0(7)), 0x40000301u); // output lock: everything but the output level
}

TEST_F(GpioCommunityTest, OnlyTheSidebandLockMessageSetsLockBits) {
  pch.Send(0xAF, 0x68, 0x20);
  EXPECT_EQ(pch.BusyReads(), 1u);
  EXPECT_EQ(pch.p2sb.Messages().back().status, 0);
  EXPECT_EQ(R(kBase + 0x68), 0x60u);
  pch.W(Dw0(5), 4, 0);
  EXPECT_EQ(R(Dw0(5)), 0x40000300u); // pad 5 is locked now
  pch.Send(0xAF, 0x68, 0);           // lock bits stay set until reset
  pch.BusyReads();
  EXPECT_EQ(R(kBase + 0x68), 0x60u);
  pch.Send(0xAF, 0x6C, 0xFF000001); // bits beyond the group's 24 pads are dropped
  pch.BusyReads();
  EXPECT_EQ(R(kBase + 0x6C), 0x81u);
  for (uint64_t offset : {uint64_t{0x84}, uint64_t{0x10068}}) { // not a lock register
    pch.Send(0xAF, offset, 1);
    pch.BusyReads();
    EXPECT_EQ(pch.p2sb.Messages().back().status, 1) << std::hex << offset;
  }
  pch.Send(0xAF, 0x68, 1, 0x07); // another opcode
  pch.BusyReads();
  EXPECT_EQ(pch.p2sb.Messages().back().status, 1);
  EXPECT_EQ(R(kBase + 0x68), 0x60u);
  gpio->Reset();
  EXPECT_EQ(R(kBase + 0x68), 0x40u);
  EXPECT_EQ(R(Dw0(5)), 0x40000300u);
}

TEST_F(GpioCommunityTest, TakesAlignedDwordsOnly) {
  EXPECT_EQ(pch.R(Dw0(5), 1), 0xFFu);
  pch.W(Dw0(5), 2, 0);
  EXPECT_EQ(pch.R(Dw0(5) + 2, 4), 0xFFFFFFFFu);
  EXPECT_EQ(gpio->Counts().guest_errors, 3u);
  EXPECT_EQ(R(Dw0(5)), 0x40000300u);
  EXPECT_EQ(R(kBase + 0x8000), 0u); // beyond the registers
}

} // namespace
