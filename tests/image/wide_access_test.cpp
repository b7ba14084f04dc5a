// The wide-transaction helpers on their own: which accesses FlashReader, PixelRowWriter and
// MmioFill8Wide put on the bus for every alignment and length, and that no access leaves the
// range it was given.
#include <gtest/gtest.h>

#include <vector>

#include "access/mmio.h"
#include "modules/boot_progress_pei/image/flash_reader.h"
#include "modules/boot_progress_pei/image/pixel_row_writer.h"
#include "sim/core/machine.h"

namespace {

struct Access {
  bool write;
  uint64_t address;
  unsigned width;
};

// 64 bytes of memory at kBase that log every access.
class LoggedMemory {
public:
  static constexpr uint64_t kBase = 0x20000000;
  static constexpr uint64_t kSize = 64;

  LoggedMemory() {
    for (uint64_t i = 0; i < kSize; ++i) {
      bytes[i] = static_cast<uint8_t>(0x40 + i);
    }
    machine.bus.Map(
        sim::Space::Memory, kBase, kSize, "logged",
        [this](uint64_t offset, unsigned width) {
          log.push_back({false, kBase + offset, width});
          uint64_t v = 0;
          for (unsigned i = 0; i < width; ++i) {
            v |= static_cast<uint64_t>(bytes[offset + i]) << (8 * i);
          }
          return v;
        },
        [this](uint64_t offset, unsigned width, uint64_t value) {
          log.push_back({true, kBase + offset, width});
          for (unsigned i = 0; i < width; ++i) {
            bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
            ++stores[offset + i];
          }
        });
  }

  // Every store lies in [first, first + count), 32-bit ones aligned, byte ones only where no
  // aligned dword of the range covers the byte; stores ascend and each byte is stored once.
  void ExpectWideStores(uint64_t first, uint64_t count) const {
    uint64_t next = first;
    for (const Access &a : log) {
      ASSERT_TRUE(a.write);
      ASSERT_EQ(a.address, next) << "stores out of order or overlapping";
      ASSERT_TRUE(a.width == 1 || a.width == 4) << a.width;
      if (a.width == 4) {
        EXPECT_EQ(a.address % 4, 0u);
      } else {
        const uint64_t dword = a.address & ~uint64_t{3};
        EXPECT_FALSE(dword >= first && dword + 4 <= first + count)
            << "byte store at " << a.address - kBase << " inside a whole dword of the range";
      }
      next += a.width;
    }
    EXPECT_EQ(next, first + count);
    for (uint64_t i = 0; i < kSize; ++i) {
      const bool inside = kBase + i >= first && kBase + i < first + count;
      EXPECT_EQ(stores[i], inside ? 1 : 0) << "byte " << i;
    }
  }

  sim::Machine machine;
  uint8_t bytes[kSize];
  unsigned stores[kSize] = {};
  std::vector<Access> log;
};

// Single-byte transactions a range needs at most: its bytes before the first and after the last
// 4-byte boundary.
uint64_t EdgeBytes(uint64_t first, uint64_t count) {
  uint64_t n = 0;
  for (uint64_t a = first; a < first + count; ++a) {
    const uint64_t dword = a & ~uint64_t{3};
    n += !(dword >= first && dword + 4 <= first + count);
  }
  return n;
}

TEST(FlashReader, ReadsEachWholeDwordOnceAndEdgeBytesSingly) {
  for (uint64_t start = 0; start < 4; ++start) {
    for (uint32_t length = 1; length <= 21; ++length) {
      LoggedMemory m;
      const uint64_t first = LoggedMemory::kBase + 8 + start;
      FlashReader reader(first, length);
      for (uint32_t i = 0; i < length; ++i) {
        ASSERT_EQ(reader.Read8(i), m.bytes[first - LoggedMemory::kBase + i]) << start << "," << i;
      }
      const uint64_t edge = EdgeBytes(first, length);
      EXPECT_EQ(m.log.size(), edge + (length - edge) / 4)
          << "start +" << start << " length " << length;
      for (const Access &a : m.log) {
        EXPECT_GE(a.address, first);
        EXPECT_LE(a.address + a.width, first + length) << "read past the end";
        EXPECT_TRUE(a.width == 1 || (a.width == 4 && a.address % 4 == 0));
      }
    }
  }
}

TEST(FlashReader, WiderValuesAreLittleEndianAtAnyOffset) {
  LoggedMemory m;
  FlashReader reader(LoggedMemory::kBase + 1, 40);
  EXPECT_EQ(reader.Read32(0), 0x44434241u);
  EXPECT_EQ(reader.Read32(9), 0x4D4C4B4Au);
  EXPECT_EQ(reader.Read16(3), 0x4544u);
  // Going back re-reads the dword it left; the value is the same.
  EXPECT_EQ(reader.Read32(9), 0x4D4C4B4Au);
  EXPECT_EQ(reader.Read8(2), 0x43);
}

TEST(FlashReader, BytesPastTheEndAreNotRead) {
  LoggedMemory m;
  FlashReader reader(LoggedMemory::kBase, 6);
  EXPECT_EQ(reader.Read32(4), 0xFFFF4544u);
  EXPECT_EQ(reader.Read8(6), 0xFF);
  EXPECT_EQ(reader.Read8(0xFFFFFFFF), 0xFF);
  for (const Access &a : m.log) {
    EXPECT_LE(a.address + a.width, LoggedMemory::kBase + 6);
  }
  FlashReader empty(LoggedMemory::kBase, 0);
  EXPECT_EQ(empty.Read8(0), 0xFF);
  EXPECT_EQ(m.log.size(), 2u); // bytes 4 and 5, singly: their dword reaches past the end
}

TEST(PixelRowWriter, StoresFourPixelsAtATimeBetweenByteEdges) {
  for (uint64_t start = 0; start < 4; ++start) {
    for (uint64_t count = 0; count <= 19; ++count) {
      LoggedMemory m;
      const uint64_t first = LoggedMemory::kBase + 8 + start;
      PixelRowWriter out(first);
      for (uint64_t i = 0; i < count; ++i) {
        out.Put(static_cast<uint8_t>(0x90 + i));
      }
      out.Finish();
      m.ExpectWideStores(first, count);
      const uint64_t edge = EdgeBytes(first, count);
      EXPECT_EQ(m.log.size(), edge + (count - edge) / 4);
      for (uint64_t i = 0; i < count; ++i) {
        EXPECT_EQ(m.bytes[first - LoggedMemory::kBase + i], 0x90 + i);
      }
    }
  }
}

TEST(MmioFill8Wide, FillsTheSameBytesAsByteStoresWithDwordsBetweenTheEdges) {
  for (uint64_t start = 0; start < 4; ++start) {
    for (uint64_t count = 0; count <= 19; ++count) {
      LoggedMemory m;
      const uint64_t first = LoggedMemory::kBase + 8 + start;
      MmioFill8Wide(first, count, 0xD7);
      m.ExpectWideStores(first, count);
      for (uint64_t i = 0; i < LoggedMemory::kSize; ++i) {
        const bool inside =
            LoggedMemory::kBase + i >= first && LoggedMemory::kBase + i < first + count;
        EXPECT_EQ(m.bytes[i], inside ? 0xD7 : 0x40 + i);
      }
    }
  }
}

} // namespace
