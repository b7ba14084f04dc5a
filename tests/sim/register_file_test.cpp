// Register files: write masks, write-1-to-clear, hooks and locks as data.
#include <gtest/gtest.h>

#include "sim/core/register_file.h"

namespace {

TEST(RegisterFile, WriteMaskKeepsReadOnlyBitsAndUndefinedBytesIgnoreWrites) {
  sim::RegisterFile regs(16);
  regs.Define({0x0, 2, 0x1A03, 0x0000, 0}); // read-only ID
  regs.Define({0x4, 2, 0x0000, 0x0547, 0}); // a command register
  regs.Write(0x0, 2, 0xFFFF);
  regs.Write(0x4, 2, 0xFFFF);
  regs.Write(0x8, 4, 0xFFFFFFFF); // nothing defined there
  EXPECT_EQ(regs.Read(0x0, 2), 0x1A03u);
  EXPECT_EQ(regs.Read(0x4, 2), 0x0547u);
  EXPECT_EQ(regs.Read(0x8, 4), 0u);
  EXPECT_EQ(regs.Read(0x5, 1), 0x05u); // a byte of a wider register
  regs.Reset();
  EXPECT_EQ(regs.Read(0x4, 2), 0u);
}

TEST(RegisterFile, WriteOneToClearAndHooksSeeWholeRegisters) {
  sim::RegisterFile regs(8);
  regs.Define({0x0, 4, 0, 0x0000FFFF, 0xFF000000});
  regs.Set(0x0, 4, 0x81000000);
  uint64_t before = 0, after = 0;
  int writes = 0;
  regs.OnWrite(0x0, [&](uint64_t b, uint64_t a) {
    before = b;
    after = a;
    ++writes;
  });
  regs.Write(0x3, 1, 0x01); // clears bit 24 only
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(before, 0x81000000u);
  EXPECT_EQ(after, 0x80000000u);
  int reads = 0;
  regs.OnRead(0x0, [&](uint64_t stored) {
    ++reads;
    return stored | 0x1;
  });
  EXPECT_EQ(regs.Read(0x0, 2), 0x0001u);
  EXPECT_EQ(regs.Read(0x0, 4), 0x80000001u);
  EXPECT_EQ(reads, 2); // once per access, not per byte
}

TEST(RegisterFile, LockedRangesIgnoreWritesAndMayReadZero) {
  sim::RegisterFile regs(256);
  regs.DefineRange(0x00, 256, 1, 0, 0xFF);
  bool locked = true;
  regs.Lock(
      0x81, 0xFF, [&] { return locked; }, sim::RegisterFile::LockMode::IgnoreWritesReadZero);
  regs.Set(0x90, 1, 0x55);
  regs.Write(0x90, 1, 0xAA);
  EXPECT_EQ(regs.Read(0x90, 1), 0u);
  EXPECT_EQ(regs.Get(0x90, 1), 0x55u);
  locked = false;
  EXPECT_EQ(regs.Read(0x90, 1), 0x55u);
  regs.Write(0x90, 1, 0xAA);
  EXPECT_EQ(regs.Read(0x90, 1), 0xAAu);
}

} // namespace
