// The chip's DRAM on its own: wrapping, sparse pages, the state before bring-up, and the frame
// buffer that BAR0 shows from its top.
#include <gtest/gtest.h>

#include "sim/core/machine.h"
#include "sim/devices/chip/dram.h"

namespace {

constexpr uint64_t MiB = 1ull << 20;

struct Bench {
  explicit Bench(uint64_t size, bool up = true) : dram(machine.bus, size, up) {}
  uint32_t Read(uint64_t internal) {
    return static_cast<uint32_t>(dram.InternalLeaf().Read(internal - 0x80000000ull, 4));
  }
  void Write(uint64_t internal, uint32_t v) {
    dram.InternalLeaf().Write(internal - 0x80000000ull, 4, v);
  }
  sim::Machine machine;
  sim::ChipDram dram;
};

TEST(ChipDram, AddressesWrapModuloTheSize) {
  for (uint64_t size : {128 * MiB, 256 * MiB, 512 * MiB, 1024 * MiB, 2048 * MiB}) {
    SCOPED_TRACE(size / MiB);
    Bench b(size);
    b.Write(0x80100000, 0x11223344);
    if (size < 2048 * MiB) {
      EXPECT_EQ(b.Read(0x80100000 + size), 0x11223344u);
    }
    EXPECT_EQ(b.Read(0x80100000 + size / 2), 0u);
    b.Write(0xFFFFFFFC, 0xCAFEF00D); // the top of the decode is the top of the memory
    uint8_t top[4];
    b.dram.Peek(size - 4, top, 4);
    EXPECT_EQ(top[0], 0x0D);
    EXPECT_EQ(top[3], 0xCA);
  }
}

TEST(ChipDram, PagesAreAllocatedOnFirstWriteAndUnwrittenMemoryReadsZero) {
  Bench b(1024 * MiB);
  EXPECT_EQ(b.Read(0x90000000), 0u);
  EXPECT_EQ(b.dram.PagesAllocated(), 0u);
  b.Write(0x9000FFFE, 0xAABBCCDD); // straddles two pages
  EXPECT_EQ(b.dram.PagesAllocated(), 2u);
  EXPECT_EQ(b.Read(0x9000FFFC) >> 16, 0xCCDDu);
  EXPECT_EQ(b.Read(0x90010000) & 0xFFFF, 0xAABBu);
  b.dram.Reset();
  EXPECT_EQ(b.dram.PagesAllocated(), 0u);
}

TEST(ChipDram, BeforeBringUpReadsAllOnesAndLosesWrites) {
  Bench b(256 * MiB, false);
  b.Write(0x80000000, 0x12345678);
  EXPECT_EQ(b.Read(0x80000000), 0xFFFFFFFFu);
  EXPECT_EQ(b.dram.PagesAllocated(), 0u);
  b.dram.BringUp();
  EXPECT_EQ(b.Read(0x80000000), 0u);
  b.Write(0x80000000, 0x12345678);
  EXPECT_EQ(b.Read(0x80000000), 0x12345678u);
  b.dram.Reset(); // not up at power-on
  EXPECT_FALSE(b.dram.Up());
}

TEST(ChipDram, FrameBufferIsTheTopOfTheDram) {
  Bench b(128 * MiB, false);
  sim::VideoMemory &fb = b.dram;
  EXPECT_EQ(fb.Size(), 16 * MiB);
  EXPECT_EQ(fb.Bar0Leaf().Size(), 16 * MiB);
  fb.Bar0Leaf().Write(0, 4, 0x04030201); // lost: not up
  uint8_t px[4] = {9, 9, 9, 9};
  fb.ReadBytes(0, px, 4);
  EXPECT_EQ(px[0], 0);
  b.dram.BringUp();
  fb.Bar0Leaf().Write(0, 4, 0x04030201);
  EXPECT_EQ(b.Read(0x80000000 + 112 * MiB), 0x04030201u);
  b.Write(0x80000000 + 128 * MiB - 4, 0xEEDDCCBB); // last bytes of the frame buffer
  fb.ReadBytes(16 * MiB - 4, px, 4);
  EXPECT_EQ(px[3], 0xEE);
  uint8_t beyond[8];
  fb.ReadBytes(16 * MiB - 4, beyond, 8);
  EXPECT_EQ(beyond[3], 0xEE);
  EXPECT_EQ(beyond[4], 0);
  EXPECT_EQ(b.dram.Data()[16 * MiB - 1], 0xEE); // the stored bytes the frame buffer shows
}

// The frame buffer is kept apart from the sparse pages below it; an access across the border,
// and one wrapping from the top of the memory to its start, still sees one memory.
TEST(ChipDram, AccessesAcrossTheFrameBufferBorderAndTheTopWrap) {
  Bench b(128 * MiB);
  const uint64_t border = 0x80000000 + 112 * MiB;
  b.Write(border - 2, 0xA1B2C3D4);
  EXPECT_EQ(b.Read(border - 4) >> 16, 0xC3D4u);
  EXPECT_EQ(b.Read(border) & 0xFFFF, 0xA1B2u);
  EXPECT_EQ(b.dram.Data()[0], 0xB2);
  uint8_t across[4];
  b.dram.Peek(112 * MiB - 2, across, 4);
  EXPECT_EQ(across[0], 0xD4);
  EXPECT_EQ(across[3], 0xA1);

  b.dram.InternalLeaf().Write(128 * MiB - 2, 4, 0x55667788); // the last two bytes, then offset 0
  EXPECT_EQ(b.Read(0x80000000) & 0xFFFF, 0x5566u);
  EXPECT_EQ(b.dram.Data()[16 * MiB - 2], 0x88);
  b.dram.Reset();
  EXPECT_EQ(b.dram.Data()[16 * MiB - 2], 0);
}

} // namespace
