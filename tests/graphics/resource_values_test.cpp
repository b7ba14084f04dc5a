// Resource arithmetic of the display path: BAR sizes and cursor steps, the bridges' windows,
// whether BAR0 can hold the frame buffer, and the host decode window.
#include <gtest/gtest.h>

#include "modules/boot_progress_pei/graphics/bridge_discovery.h"
#include "modules/boot_progress_pei/graphics/host_window.h"

namespace {

struct Cursors {
  uint32_t mmio = kMmioCursorStart;
  uint32_t io = kIoCursorStart;
  // Hands a BAR that read back `readBack` its address, as the assignment does; 0 when absent.
  uint32_t Assign(uint32_t readBack, bool ioBar) {
    const uint32_t size = BarSize(readBack);
    if (size == 0) {
      return 0;
    }
    uint32_t &cursor = ioBar ? io : mmio;
    const uint32_t at = cursor;
    cursor += ioBar ? IoCursorStep(size) : MemoryCursorStep(size);
    return at;
  }
};

TEST(BarAssignment, FrameBufferRegistersAndIoPortsOfATypicalFunction) {
  Cursors c;
  EXPECT_EQ(c.Assign(0xFF000000, false), 0xA0000000u); // 16 MiB frame buffer
  EXPECT_EQ(c.Assign(0xFFFE0000, false), 0xA1000000u); // 128 KiB register window
  EXPECT_EQ(c.Assign(0xFFFFFF81, true), 0x6000u);      // 128 bytes of I/O
  EXPECT_EQ(c.mmio, 0xA1100000u);
  EXPECT_EQ(c.io, 0x6080u);

  const BridgeWindows w = BridgeWindowsFor(c.io, c.mmio);
  EXPECT_EQ(w.IoBase, 0x60);
  EXPECT_EQ(w.IoLimit, 0x60);
  EXPECT_EQ(w.MemoryBase, 0xA000);
  EXPECT_EQ(w.MemoryLimit, 0xA100);
}

TEST(BarAssignment, AbsentBarsCostNothing) {
  EXPECT_EQ(BarSize(0), 0u);
  EXPECT_EQ(BarSize(0xFFFFFFFF), 0u);
  Cursors c;
  EXPECT_EQ(c.Assign(0, false), 0u);
  EXPECT_EQ(c.Assign(0xFFFFFFFF, true), 0u);
  EXPECT_EQ(c.mmio, kMmioCursorStart);
  EXPECT_EQ(c.io, kIoCursorStart);
}

TEST(BarAssignment, SmallMemoryBarsTakeAWholeWindowUnit) {
  EXPECT_EQ(BarSize(0xFFFFF000), 0x1000u);
  EXPECT_EQ(MemoryCursorStep(0x1000), 0x100000u);
  EXPECT_EQ(MemoryCursorStep(0x80000), 0x100000u);
  EXPECT_EQ(MemoryCursorStep(0x100000), 0x100000u);
  EXPECT_EQ(MemoryCursorStep(0x2000000), 0x2000000u);
  EXPECT_EQ(BarSize(0xFFFFFFF1), 0x10u); // I/O sizes never go below 16 bytes
  EXPECT_EQ(IoCursorStep(0x10), 0x10u);
  EXPECT_EQ(IoCursorStep(0x100), 0x100u);
}

TEST(BridgeWindows, NothingAssignedClosesTheWindow) {
  const BridgeWindows none = BridgeWindowsFor(kIoCursorStart, kMmioCursorStart);
  EXPECT_EQ(none.IoBase, 0x10);
  EXPECT_EQ(none.IoLimit, 0x00);
  EXPECT_EQ(none.MemoryBase, 0x0010);
  EXPECT_EQ(none.MemoryLimit, 0x0000);

  // Memory but no I/O: only the I/O window stays closed.
  const BridgeWindows memoryOnly = BridgeWindowsFor(kIoCursorStart, 0xA1000000);
  EXPECT_EQ(memoryOnly.IoBase, 0x10);
  EXPECT_EQ(memoryOnly.IoLimit, 0x00);
  EXPECT_EQ(memoryOnly.MemoryBase, 0xA000);
  EXPECT_EQ(memoryOnly.MemoryLimit, 0xA0F0);
}

TEST(FrameBufferBar, OnlyA32BitMemoryBarAtTheScreenAddressHoldingTheScreen) {
  const uint32_t kScreenSizedBar = 512 * 1024; // the least power of two above 480000 bytes
  EXPECT_TRUE(FrameBufferBarUsable(0xA0000000, 16u << 20));
  EXPECT_TRUE(FrameBufferBarUsable(0xA0000008, 16u << 20)); // prefetchable
  EXPECT_TRUE(FrameBufferBarUsable(0xA0000000, kScreenSizedBar));
  EXPECT_FALSE(FrameBufferBarUsable(0xA0000000, kScreenSizedBar / 2)) << "too small";
  EXPECT_FALSE(FrameBufferBarUsable(0xA0000004, 16u << 20)) << "64-bit BAR";
  EXPECT_FALSE(FrameBufferBarUsable(0xA0000001, 16u << 20)) << "I/O BAR";
  EXPECT_FALSE(FrameBufferBarUsable(0x00006001, 0x100)) << "I/O BAR";
  EXPECT_FALSE(FrameBufferBarUsable(0xFFFFFFFF, 0)) << "absent BAR";
  EXPECT_FALSE(FrameBufferBarUsable(0xFFFFFFF0, 16u << 20)) << "absent function";
  EXPECT_FALSE(FrameBufferBarUsable(0x80000000, 1u << 30)) << "a large BAR aligned down";
}

TEST(HostWindow, StartsAboveTheConfigurationSpaceAndEndsAtTheFixedLimit) {
  const HostWindowSettings at2G = HostWindowFor(0x80000000);
  EXPECT_EQ(at2G.Rule, 0xFB000049u);
  EXPECT_EQ(at2G.WindowBase, 0x9000);
  EXPECT_EQ(at2G.WindowLimit, 0xFB00);

  const HostWindowSettings at3G = HostWindowFor(0xC0000000);
  EXPECT_EQ(at3G.Rule, 0xFB000069u);
  EXPECT_EQ(at3G.WindowBase, 0xD000);
  EXPECT_EQ(at3G.WindowLimit, 0xFB00);

  // Address bit 25 of the window's base shares the rule's enable bit.
  EXPECT_EQ(HostWindowFor(0x82000000).Rule, 0xFB000049u);
  EXPECT_EQ(HostWindowFor(0x82000000).WindowBase, 0x9200);
}

} // namespace
