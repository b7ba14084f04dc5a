// Number text and the shift-and-subtract division under it, against the host's own conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/platform/text_format.h"

namespace {

std::string Number(UINT64 value, UINT32 base, bool is64) {
  CHAR8 text[kNumberTextSize];
  const UINT32 length = FormatNumber(value, base, is64, text);
  EXPECT_EQ(length, std::char_traits<char>::length(text));
  return text;
}

std::string Host(const char *format, unsigned long long value) {
  char text[32];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

// Values that stress the division: every power of two and of ten and their neighbours, the
// ends of the 32- and 64-bit ranges, and a pseudo-random spread.
std::vector<UINT64> Values() {
  std::vector<UINT64> v = {0,
                           1,
                           9,
                           10,
                           15,
                           16,
                           0x7FFFFFFF,
                           0x80000000,
                           0xFFFFFFFF,
                           0x100000000ull,
                           0x7FFFFFFFFFFFFFFFull,
                           0x8000000000000000ull,
                           0xFFFFFFFFFFFFFFFFull};
  for (unsigned bit = 0; bit < 64; ++bit) {
    const UINT64 p = 1ull << bit;
    v.insert(v.end(), {p - 1, p, p + 1});
  }
  for (UINT64 p = 1; p <= 1000000000000000000ull; p *= 10) {
    v.insert(v.end(), {p - 1, p, p + 1});
  }
  UINT64 x = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 2000; ++i) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    v.push_back(x >> (i % 64));
  }
  return v;
}

TEST(FormatNumber, MatchesTheHostConversionInBothBasesAndWidths) {
  for (UINT64 value : Values()) {
    EXPECT_EQ(Number(value, 10, true), Host("%lld", value)) << value;
    EXPECT_EQ(Number(value, 16, true), Host("%llx", value)) << value;
    const auto low = static_cast<UINT32>(value);
    EXPECT_EQ(Number(value, 10, false),
              Host("%lld", static_cast<int64_t>(static_cast<int32_t>(low))))
        << value;
    EXPECT_EQ(Number(value, 16, false), Host("%llx", low)) << value;
  }
}

TEST(FormatNumber, LongestTextsFitTheBuffer) {
  EXPECT_EQ(Number(0x8000000000000000ull, 10, true), "-9223372036854775808"); // 20 + terminator
  EXPECT_EQ(Number(0xFFFFFFFFFFFFFFFFull, 16, true), "ffffffffffffffff");
  EXPECT_EQ(Number(0, 10, false), "0");
  EXPECT_EQ(Number(0, 16, true), "0");
}

TEST(FormatNumber, AnyOtherBaseCountsAsDecimal) {
  EXPECT_EQ(Number(255, 0, false), "255");
  EXPECT_EQ(Number(255, 1, false), "255");
  EXPECT_EQ(Number(255, 8, false), "255");
}

} // namespace
