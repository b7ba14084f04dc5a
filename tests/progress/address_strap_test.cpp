// Sampling the address strap (pad 0x01060015) against the GPIO model: the level it reports, and
// the pad left as it was found.
#include <gtest/gtest.h>

#include <string>

#include "modules/boot_progress_pei/progress/address_strap.h"
#include "tests/platform/platform_board.h"

namespace {

using test::PlatformBoard;

std::string StrapPad(const std::string &fields) {
  return R"({"pch": {"pads": {"0x01060015": {)" + fields + "}}}}";
}

// Output level 1 behind an output lock, reset 10, bit 28, input event 01, inversion, SCI routing,
// mode 3, output buffer off, termination, DW1 bit 25 and an interrupt line: sampling changes all
// of these and must put every one back.
constexpr char kBusyPad[] = R"("dw0": "0x92880D01", "dw1": "0x0200280E", "hostsw_own": 0,
                               "gpe_en": 1, "tx_locked": true)";

TEST(AddressStrap, ReadsTheLevelAndRestoresThePad) {
  for (int level : {0, 1}) {
    PlatformBoard b(StrapPad(std::string(kBusyPad) + R"(, "level": )" + std::to_string(level)));
    const auto before = b.Pad(6, 21);
    EXPECT_EQ(ReadAddressStrap(), level == 0) << level;
    EXPECT_EQ(b.Pad(6, 21), before) << level;
    EXPECT_EQ(b.Platform().Community(6).InputReads(6, 21).last_level_read, level);
    // The restore asks the output lock again (the saved configuration holds it); the sample
    // configuration itself requests none.
    for (const auto &m : b.Platform().p2sb.Messages()) {
      EXPECT_EQ(m.request.offset, 0x64u); // group 6's PADCFGLOCKTX
    }
  }
}

// Writing back what was read clears a GPE enable that has no SCI routing behind it.
TEST(AddressStrap, GpeEnableEndsEqualToTheSciRouting) {
  PlatformBoard b(StrapPad(R"("dw0": "0x40000100", "gpe_en": 1, "hostsw_own": 1)"));
  const auto before = b.Pad(6, 21);
  EXPECT_TRUE(ReadAddressStrap());
  const auto after = b.Pad(6, 21);
  EXPECT_EQ(after.dw0, before.dw0);
  EXPECT_EQ(after.dw1, before.dw1);
  EXPECT_TRUE(after.hostsw_own);
  EXPECT_FALSE(after.gpe_en);
}

TEST(AddressStrap, LockedPadIsReadAsConfigured) {
  for (int level : {0, 1}) {
    PlatformBoard b(
        StrapPad(R"("dw0": "0x40000100", "locked": true, "level": )" + std::to_string(level)));
    const auto before = b.Pad(6, 21);
    EXPECT_EQ(ReadAddressStrap(), level == 0);
    EXPECT_EQ(b.Pad(6, 21), before);
    EXPECT_EQ(b.GpioWrites(), 0u); // both configuration writes refused before touching it
  }
}

TEST(AddressStrap, PadTheHostCannotReadCountsAsHigh) {
  {
    PlatformBoard other(StrapPad(R"("owner": 1)"));
    EXPECT_FALSE(ReadAddressStrap());
    EXPECT_EQ(other.GpioWrites(), 0u);
  }
  PlatformBoard mobile(R"({"pch": {"device_id": "0x9D40"}})");
  EXPECT_FALSE(ReadAddressStrap());
  EXPECT_EQ(mobile.GpioAccesses(), 0u);
}

} // namespace
