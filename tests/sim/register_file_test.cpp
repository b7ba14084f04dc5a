// Register files: write masks, write-1-to-clear, hooks, locks and keys as data.
#include <gtest/gtest.h>

#include "sim/core/bus.h"
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

// A hidden function reads all ones everywhere the lock covers, defined or not, and far past the
// last byte the file stores; unlocked, the same bytes read what is stored or 0.
TEST(RegisterFile, ALockMayReadAllOnesOverDefinedAndUndefinedBytes) {
  sim::RegisterFile regs(0x1000);
  regs.Define({0x04, 2, 0x1234, 0xFFFF, 0});
  int hookRuns = 0;
  regs.OnRead(0x04, [&](uint64_t stored) {
    ++hookRuns;
    return stored;
  });
  bool hidden = true;
  regs.Lock(
      0x00, 0x0FFF, [&] { return hidden; }, sim::RegisterFile::LockMode::IgnoreWritesReadOnes);
  EXPECT_EQ(regs.Read(0x04, 4), 0xFFFFFFFFu);
  EXPECT_EQ(regs.Read(0xFFC, 4), 0xFFFFFFFFu); // never stored: past the file's stored bytes
  EXPECT_EQ(regs.Read(0xFFE, 4), 0xFFFFu);     // the file ends after two bytes
  EXPECT_EQ(hookRuns, 1);                      // a hook still sees its read
  regs.Write(0x04, 2, 0x5678);
  hidden = false;
  EXPECT_EQ(regs.Read(0x04, 2), 0x1234u);
  EXPECT_EQ(regs.Read(0xFFC, 4), 0u);
  regs.Set(0xFF0, 4, 0xA5A5A5A5); // the model may set a byte far up: it is stored
  EXPECT_EQ(regs.Read(0xFF0, 4), 0xA5A5A5A5u);
  regs.Write(0xFF0, 4, 0); // but it is not a register: guest writes are ignored
  EXPECT_EQ(regs.Get(0xFF0, 4), 0xA5A5A5A5u);
  EXPECT_TRUE(regs.Fits(0xFFC, 4));
  EXPECT_FALSE(regs.Fits(0xFFE, 4));
}

constexpr uint32_t kKey = 0x5A17C0DEu;

// A block of 32-bit registers behind a key at offset 0, as the chip's blocks are.
sim::RegisterFile KeyedBlock(const bool *neverUnlocks = nullptr) {
  sim::RegisterFile regs(0x20);
  regs.DefineRange(0, 8, 4, 0, 0xFFFFFFFFu);
  regs.Protect(
      {0x0, 4, kKey, 1, 0, 4, 0x1F, sim::RegisterFile::LockMode::IgnoreWrites, neverUnlocks});
  return regs;
}

TEST(RegisterFile, KeyUnlocksItsRangeAndAnyOtherValueLocksIt) {
  sim::RegisterFile regs = KeyedBlock();
  regs.Write(0x8, 4, 0x1234);
  EXPECT_EQ(regs.Read(0x8, 4), 0u);
  EXPECT_EQ(regs.Read(0x0, 4), 0u); // locked
  EXPECT_FALSE(regs.Unlocked(0x0));
  regs.Write(0x0, 4, kKey);
  EXPECT_TRUE(regs.Unlocked(0x0));
  EXPECT_EQ(regs.Read(0x0, 4), 1u); // the key reads as the lock state, not as written
  regs.Write(0x8, 4, 0x1234);
  EXPECT_EQ(regs.Read(0x8, 4), 0x1234u);
  regs.Write(0x0, 4, kKey + 1);
  EXPECT_EQ(regs.Read(0x0, 4), 0u);
  regs.Write(0x8, 4, 0x5678);
  EXPECT_EQ(regs.Read(0x8, 4), 0x1234u);
  // Half the key is not the key; the other half completes it.
  regs.Write(0x0, 4, 0);
  regs.Write(0x0, 2, kKey & 0xFFFF);
  EXPECT_FALSE(regs.Unlocked(0x0));
  regs.Write(0x2, 2, kKey >> 16);
  EXPECT_TRUE(regs.Unlocked(0x0));
  regs.Reset();
  EXPECT_FALSE(regs.Unlocked(0x0));
}

TEST(RegisterFile, AKeyThatNeverUnlocksIgnoresTheRightValue) {
  bool never = true;
  sim::RegisterFile regs = KeyedBlock(&never);
  regs.Write(0x0, 4, kKey);
  regs.Write(0x8, 4, 0x1234);
  EXPECT_EQ(regs.Read(0x0, 4), 0u);
  EXPECT_EQ(regs.Read(0x8, 4), 0u);
  never = false; // the fault is read at each access
  EXPECT_EQ(regs.Read(0x0, 4), 1u);
}

TEST(RegisterFile, WriteHooksRunOnlyForWritesALockTook) {
  for (const bool byKey : {true, false}) {
    sim::RegisterFile regs = byKey ? KeyedBlock() : sim::RegisterFile(0x20);
    bool locked = true;
    if (!byKey) {
      regs.DefineRange(0, 8, 4, 0, 0xFFFFFFFFu);
      regs.Lock(4, 0x1F, [&] { return locked; });
    }
    std::vector<std::pair<uint64_t, uint64_t>> seen;
    regs.OnWrite(0x8, [&](uint64_t before, uint64_t after) { seen.emplace_back(before, after); });
    regs.Write(0x8, 4, 0x11);
    EXPECT_TRUE(seen.empty()) << byKey;
    if (byKey) {
      regs.Write(0x0, 4, kKey);
    } else {
      locked = false;
    }
    regs.Write(0x8, 4, 0x22);
    ASSERT_EQ(seen.size(), 1u) << byKey;
    EXPECT_EQ(seen[0], std::make_pair(uint64_t{0}, uint64_t{0x22}));
    // An accepted write that changes nothing still runs the hook (a command register).
    regs.Write(0x8, 4, 0x22);
    EXPECT_EQ(seen.size(), 2u) << byKey;
  }
}

TEST(RegisterFile, KeysMustLieOutsideTheirRangeOnADefinedRegister) {
  sim::RegisterFile regs(0x10);
  regs.DefineRange(0, 4, 4, 0, 0xFFFFFFFFu);
  EXPECT_THROW(regs.Protect({0x0, 4, kKey, 1, 0, 0, 0xF}), std::logic_error);
  EXPECT_THROW(regs.Protect({0x0, 2, kKey, 1, 0, 4, 0xF}), std::logic_error);
  EXPECT_THROW(regs.Unlocked(0x4), std::logic_error);
}

class RegisterLeaf : public ::testing::Test {
protected:
  struct Block : sim::Device {
    explicit Block(sim::Bus &bus) : Device(bus, "block") {
      regs.DefineRange(0, 4, 4, 0, 0xFFFFFFFFu);
    }
    void Reset() override { regs.Reset(); }
    sim::RegisterFile regs{0x10};
  };
  sim::Clock clock;
  sim::Bus bus{clock};
  Block block{bus};
  sim::Region leaf = block.regs.Leaf(&block, "block", sim::kW32 | sim::kW8);
};

// The bus hands a leaf only accesses that start inside it; one that runs past the leaf's end is
// rejected by the registers, not decoded in part.
TEST_F(RegisterLeaf, AnAccessRunningPastTheEndIsAGuestError) {
  block.regs.Set(0xC, 4, 0x44332211);
  EXPECT_EQ(leaf.Read(0xC, 4), 0x44332211u);
  EXPECT_EQ(leaf.Read(0xF, 1), 0x44u);
  EXPECT_EQ(block.Counts().guest_errors, 0u);
  EXPECT_EQ(leaf.Read(0xE, 4), 0xFFFFFFFFu);
  leaf.Write(0xD, 4, 0);
  EXPECT_EQ(block.regs.Get(0xC, 4), 0x44332211u);
  EXPECT_EQ(block.Counts().guest_errors, 2u);
  EXPECT_EQ(bus.Counts().guest_errors, 2u);
  EXPECT_EQ(block.Counts().unclaimed, 0u);
  leaf.Write(0xC, 4, 0x55);
  EXPECT_EQ(block.regs.Get(0xC, 4), 0x55u);
}

} // namespace
