// The formatter: directives, padding, status names, the output limit, and argument lists that do
// not match their format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/platform/text_format.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"

namespace {

constexpr uint8_t kGuard = 0x5A;
constexpr size_t kGuardBytes = 32;

// Runs `format` into a buffer of exactly `limit` bytes followed by guard bytes, checks that the
// guard is intact and the text terminated, and returns the text (NULs from %c included).
std::string RunLimited(UINT32 limit, const std::function<INT32(CHAR8 *, UINT32)> &format) {
  std::vector<CHAR8> buffer(limit + kGuardBytes, static_cast<CHAR8>(kGuard));
  const INT32 count = format(buffer.data(), limit);
  if (count < 0 || static_cast<UINT32>(count) >= limit) {
    ADD_FAILURE() << "count " << count << " with limit " << limit;
    return "";
  }
  EXPECT_EQ(buffer[count], 0);
  for (size_t i = limit; i < buffer.size(); ++i) {
    EXPECT_EQ(static_cast<uint8_t>(buffer[i]), kGuard) << "byte " << i << " past limit " << limit;
  }
  return std::string(buffer.data(), count);
}

template <typename... Args>
std::string Format(const char *format, Args... args) {
  return RunLimited(256,
                    [&](CHAR8 *b, UINT32 l) { return FormatToBufferN(b, l, format, args...); });
}

template <typename... Args>
std::string FormatLimited(UINT32 limit, const char *format, Args... args) {
  return RunLimited(limit,
                    [&](CHAR8 *b, UINT32 l) { return FormatToBufferN(b, l, format, args...); });
}

TEST(TextFormat, DottedDecimalAddress) {
  CHAR8 text[16];
  EXPECT_EQ(FormatToBufferN(text, sizeof(text), "%d.%d.%d.%d", 192, 168, 0, 5), 11);
  EXPECT_STREQ(text, "192.168.0.5");
  EXPECT_EQ(Format("%d.%d.%d.%d", 255, 255, 255, 255), "255.255.255.255");
  CHAR8 unlimited[32];
  EXPECT_EQ(FormatToBuffer(unlimited, "%d.%d", 10, 1), 4);
  EXPECT_STREQ(unlimited, "10.1");
}

TEST(TextFormat, SignedAndHexadecimalNumbers) {
  EXPECT_EQ(Format("%x", -1), "ffffffff");
  EXPECT_EQ(Format("%lx", FormatWide{~0ull}), "ffffffffffffffff");
  EXPECT_EQ(Format("%lx", FormatWide{0x123456789ABCDEF0ull}), "123456789abcdef0");
  EXPECT_EQ(Format("%d", INT32_MIN), "-2147483648");
  EXPECT_EQ(Format("%ld", FormatWide{static_cast<UINT64>(INT64_MIN)}), "-9223372036854775808");
  EXPECT_EQ(Format("%ld", FormatWide{18446744073709551615ull}), "-1");
  EXPECT_EQ(Format("%d %i", 0, -7), "0 -7");
  EXPECT_EQ(Format("%d", 0xFFFFFFFFu), "-1"); // a 32-bit slot is signed for %d
  EXPECT_EQ(Format("%X", 0xABC), "ABC");
  EXPECT_EQ(Format("%p", 0x1000), "1000");
  EXPECT_EQ(Format("%x", static_cast<int8_t>(-2)), "fffffffe"); // sign-extended like C promotion
  EXPECT_EQ(Format("%x", static_cast<UINT8>(0xFE)), "fe");
}

TEST(TextFormat, WideNumbersTakeTwoSlotsLowWordFirst) {
  // A 64-bit value followed by a 32-bit one: the second directive sees the value after both
  // slots, so a wrong slot count shows as a wrong second number.
  EXPECT_EQ(Format("%lx %d", FormatWide{0x0000000100000002ull}, 7), "100000002 7");
  // Without l the two slots of a wide argument are read one at a time.
  EXPECT_EQ(Format("%x %x", FormatWide{0x0000000100000002ull}), "2 1");
}

TEST(TextFormat, WidthPadsNumbersOnly) {
  EXPECT_EQ(Format("%05d", -42), "00-42");
  EXPECT_EQ(Format("%4x", 255), "  ff");
  EXPECT_EQ(Format("%2d", 12345), "12345");
  EXPECT_EQ(Format("% 5d", 42), "   42"); // blanks before the width are skipped
  EXPECT_EQ(Format("%\t3d", 7), "  7");
  EXPECT_EQ(Format("%*d|%d", 6, 42, 9), "    42|9"); // the width slot comes first
  EXPECT_EQ(Format("%0*x", 8, 0xAB), "000000ab");
  EXPECT_EQ(Format("%*d", -5, 42), "42"); // a negative width pads nothing
  EXPECT_EQ(Format("%08lx", FormatWide{0xABCull}), "00000abc");
  EXPECT_EQ(Format("%5s|%5c|%40g", "abc", 'Z', &ProgressRecordGuid),
            "abc|Z|def22288-db19-4633-b600-42aa070d9de2");
}

TEST(TextFormat, StringsCharactersAndGuids) {
  EXPECT_EQ(Format("[%s][%a]", "abc", "de"), "[abc][de]");
  const UINT16 wide[] = {'H', 'i', 0x4142, 0};
  EXPECT_EQ(Format("%S", wide), "HiB"); // the low byte of each unit
  EXPECT_EQ(Format("%c%c", 'o', 0x14B), "oK");
  EXPECT_EQ(Format("%g", &ProgressRecordGuid), "def22288-db19-4633-b600-42aa070d9de2");
  EXPECT_EQ(Format("<%G>", &ProgressRecordGuid), "<DEF22288-DB19-4633-B600-42AA070D9DE2>");
  const EFI_GUID small = {0x1, 0x2, 0x3, {0, 1, 2, 3, 4, 5, 6, 0xAB}};
  EXPECT_EQ(Format("%g", &small), "00000001-0002-0003-0001-0203040506ab");
}

TEST(TextFormat, StatusNamesAndUnnamedCodes) {
  EXPECT_EQ(Format("%r", 0x8000000Eu), "EFI_NOT_FOUND");
  EXPECT_EQ(Format("%r", 0u), "EFI_SUCCESS");
  EXPECT_EQ(Format("%r", 0x20000001u), "EFI_WARN_INTERRUPT_SOURCE_QUIESCED");
  EXPECT_EQ(Format("%r", 0x80000000u), "Status Code(80000000)");
  EXPECT_EQ(Format("%r", 0x8000001Fu), "Status Code(8000001F)");
  EXPECT_EQ(Format("%r|%d", 0x80000007u, 3), "EFI_DEVICE_ERROR|3"); // one slot
}

TEST(TextFormat, StatusNameRowsAndTheirEnds) {
  struct Case {
    UINT32 status;
    const char *name; // null: no name
  } cases[] = {
      {1, "EFI_WARN_UNKNOWN_GLYPH"},
      {4, "EFI_WARN_BUFFER_TOO_SMALL"},
      {5, nullptr},
      {0x20000000, "EFI_WARN_INTERRUPT_SOURCE_PENDING"},
      {0x20000002, nullptr},
      {0x60000001, "EFI_WARN_INTERRUPT_SOURCE_QUIESCED"}, // bit 29 wins over bit 30
      {0x40000001, "EFI_WARN_UNKNOWN_GLYPH"},             // warning row by the low bits
      {0x80000001, "EFI_LOAD_ERROR"},
      {0x80000015, "EFI_ABORTED"},
      {0x8000001E, "EFI_UNDEFINED_30"},
      {0x8000001F, nullptr},
      {0xA0000000, "EFI_INTERRUPT_PENDING"},
      {0xA0000002, "EFI_NOT_AVAILABLE_YET"},
      {0xA0000003, nullptr},
      {0xE0000001, "EFI_REQUEST_UNLOAD_IMAGE"}, // bits 31 and 29 are tried before bit 30
      {0xC0000000, nullptr},
      {0xC0000001, "EFI_DBE_EOF"},
      {0xC0000002, "EFI_DBE_BOF"},
      {0xC0000003, nullptr},
      {0x90000001, nullptr}, // bit 28 belongs to the code: 0x10000001 is past the row
  };
  for (const Case &c : cases) {
    const CHAR8 *name = StatusName(c.status);
    if (c.name == nullptr) {
      EXPECT_EQ(name, nullptr) << std::hex << c.status;
    } else {
      ASSERT_NE(name, nullptr) << std::hex << c.status;
      EXPECT_STREQ(name, c.name) << std::hex << c.status;
    }
  }
}

TEST(TextFormat, OtherCharactersStandAsText) {
  EXPECT_EQ(Format("%q"), "q");
  EXPECT_EQ(Format("%05lq|%d", 9), "q|9");  // flag, width and modifier dropped, no slot taken
  EXPECT_EQ(Format("%*q|%d", 4, 9), "q|9"); // only the asterisk's slot is taken
  EXPECT_EQ(Format("100%%"), "100%");
  EXPECT_EQ(Format("ab%"), "ab");
  EXPECT_EQ(Format("ab%05l"), "ab");
}

TEST(TextFormat, NullBufferOrFormat) {
  CHAR8 buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(FormatToBufferN(nullptr, 4, "%d", 1), -1);
  EXPECT_EQ(FormatToBufferN(buffer, 4, nullptr, 1), -1);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(FormatToBufferV(nullptr, "ok %d %s", buffer, 4), 3); // no arguments: 0 and nothing
  EXPECT_STREQ(buffer, "ok ");
}

TEST(TextFormat, ArgumentsThatDoNotFitTheirDirective) {
  EXPECT_EQ(Format("[%s]", 42), "[]");                  // a number names no table entry
  EXPECT_EQ(Format("[%g]", "text"), "[]");              // text is not a GUID
  EXPECT_EQ(Format("[%s]", &ProgressRecordGuid), "[]"); // nor a GUID text
  EXPECT_EQ(Format("[%S]", "text"), "[]");              // 8-bit text is not 16-bit text
  EXPECT_EQ(Format("[%s]", nullptr), "[]");
  EXPECT_EQ(Format("[%s|%d|%g]"), "[|0|]");  // missing arguments
  EXPECT_EQ(Format("%s %s", "one"), "one "); // a missing slot never names the first entry
}

TEST(TextFormat, LimitCutsNumbersAndWidths) {
  EXPECT_EQ(FormatLimited(4, "%d", 12345), "123");
  EXPECT_EQ(FormatLimited(1, "%d", 12345), "");
  EXPECT_EQ(FormatLimited(2, "%c%c", 'a', 'b'), "a");
  // A width far beyond the limit stops at the limit, also when its digits overflow 32 bits.
  EXPECT_EQ(FormatLimited(8, "%4294967295d", 1), "       ");
  EXPECT_EQ(FormatLimited(8, "%099999999999999999d", 1), "0000000");
  EXPECT_EQ(FormatLimited(8, "%*x", 0x7FFFFFFF, 1), "       ");
}

// Every format cut at every limit gives exactly the first limit - 1 characters of its full text
// and never touches a byte at or past the limit.
TEST(TextFormat, EveryLimitGivesAPrefixOfTheFullText) {
  const UINT16 wide[] = {'w', 'i', 'd', 'e', 0};
  const std::vector<std::function<INT32(CHAR8 *, UINT32)>> formats = {
      [](CHAR8 *b, UINT32 l) { return FormatToBufferN(b, l, "%d.%d.%d.%d", 192, 168, 0, 5); },
      [](CHAR8 *b, UINT32 l) {
        return FormatToBufferN(b, l, "%05d|%3x|%*X|%lx", -42, 255, 12, 0xBEEF,
                               FormatWide{0xFEDCBA9876543210ull});
      },
      [](CHAR8 *b, UINT32 l) {
        return FormatToBufferN(b, l, "<%g><%G>", &ProgressRecordGuid, &ProgressRecordGuid);
      },
      [](CHAR8 *b, UINT32 l) { return FormatToBufferN(b, l, "%r;%r", 0x8000001Fu, 0x8000000Eu); },
      [&](CHAR8 *b, UINT32 l) { return FormatToBufferN(b, l, "%s-%S-%c%%%q", "eight", wide, 'c'); },
      [](CHAR8 *b, UINT32 l) { return FormatToBufferN(b, l, "%040ld", FormatWide{1ull << 63}); },
  };
  for (size_t f = 0; f < formats.size(); ++f) {
    const std::string full = RunLimited(512, formats[f]);
    ASSERT_LT(full.size(), 511u);
    for (UINT32 limit = 1; limit <= full.size() + 2; ++limit) {
      const std::string cut = RunLimited(limit, formats[f]);
      EXPECT_EQ(cut, full.substr(0, limit - 1)) << "format " << f << ", limit " << limit;
    }
  }
}

TEST(TextFormat, UpperCaseChangesOnlyLetters) {
  CHAR8 text[] = "az{`AZ09-g";
  UpperCase(text);
  EXPECT_STREQ(text, "AZ{`AZ09-G");
  UpperCase(nullptr);
}

} // namespace
