// Resolving the PCH's configuration address: the platform's segment table, the built-in one, and
// the PCI Express base, read through the PCD PPI of the simulated PEI core.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "modules/boot_progress_pei/platform/pch_family.h"
#include "modules/boot_progress_pei/platform/register_address.h"
#include "modules/boot_progress_pei/progress/address_strap.h"
#include "sim/core/machine.h"
#include "sim/pei/pei_core.h"
#include "tests/platform/platform_board.h"
#include "uefi/ppi/pcd.h"

namespace {

// Bus 0, device 31, function 1, register 0: the sideband bridge's configuration space.
constexpr RegisterAddress kSidebandBridge = PciExpressRegister(0, 0, 31, 1, 0);
static_assert(kSidebandBridge.Offset == 0xF9000 && kSidebandBridge.Location == 0 &&
              kSidebandBridge.Attribute == 0x200 && kSidebandBridge.Host == 0);

RegisterAddress WithSegment(RegisterAddress reg, UINT32 segment) {
  reg.Location = segment;
  return reg;
}

class RegisterAddressTest : public ::testing::Test {
protected:
  RegisterAddressTest() {
    machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(core.Services()));
  }

  // Publishes a segment table with the given length field and entry bases, in a heap block
  // exactly as long as its entries (so that reading past them is caught), `skew` bytes past an
  // aligned address.
  void PublishTable(UINT32 length, const std::vector<UINT64> &bases, size_t skew = 0) {
    table_ = std::make_unique<uint8_t[]>(skew + 16 + 16 * bases.size());
    uint8_t *t = table_.get() + skew;
    std::memcpy(t, "MCFG", 4);
    std::memcpy(t + 4, &length, 4);
    std::memset(t + 8, 0, 8);
    for (size_t i = 0; i < bases.size(); ++i) {
      uint8_t *e = t + 16 + 16 * i;
      std::memcpy(e, &bases[i], 8);
      const UINT16 segment = static_cast<UINT16>(i);
      std::memcpy(e + 8, &segment, 2);
      e[10] = 0x00;
      e[11] = 0xFF;
      std::memset(e + 12, 0, 4);
    }
    core.SetPcd(kPcdTokenPciSegmentTable, reinterpret_cast<uintptr_t>(t));
  }
  static UINT32 TableLength(size_t entries) { return static_cast<UINT32>(16 + 16 * entries); }
  uint64_t Calls(const char *name) const {
    auto it = core.ServiceCalls().find(name);
    return it == core.ServiceCalls().end() ? 0 : it->second;
  }

  sim::Machine machine;
  sim::PeiCore core{machine, 0};

private:
  std::unique_ptr<uint8_t[]> table_;
};

TEST_F(RegisterAddressTest, BuiltInTableWhenThePlatformPublishesNone) {
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0x800F9000u);
  PublishTable(0, {0xE0000000}); // a length of 0 means no table, whatever its entries hold
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0x800F9000u);
}

TEST_F(RegisterAddressTest, PlatformTableEntryGivesTheBase) {
  PublishTable(TableLength(1), {0xE0000000});
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0xE00F9000u);
  PublishTable(TableLength(2), {0xE0000000, 0xC0000000}, 3); // any alignment
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0xE00F9000u);
  const RegisterAddress one = WithSegment(kSidebandBridge, 1);
  EXPECT_EQ(GetRegisterAddress(&one), 0xC00F9000u);
}

TEST_F(RegisterAddressTest, ZeroBaseFallsBackToThePciExpressBase) {
  core.SetPcd(kPcdTokenPciExpressBaseAddress, 0x1D0000000ull); // low 32 bits used
  PublishTable(TableLength(1), {0});
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0xD00F9000u);
  // Segment 7 of the built-in table has no base either.
  PublishTable(0, {});
  const RegisterAddress seven = WithSegment(kSidebandBridge, 7);
  EXPECT_EQ(GetRegisterAddress(&seven), 0xD00F9000u);
}

TEST_F(RegisterAddressTest, UpperWordOnlyDecidesThatTheEntryHasABase) {
  core.SetPcd(kPcdTokenPciExpressBaseAddress, 0xD0000000);
  PublishTable(TableLength(1), {0x100000000ull});
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0x000F9000u);
}

TEST_F(RegisterAddressTest, OffsetBitsAbove27AreDropped) {
  RegisterAddress reg = kSidebandBridge;
  reg.Offset = 0x30F8100C;
  EXPECT_EQ(GetRegisterAddress(&reg), 0x80F8100Cu);
}

// A segment the table has no entry for reads no entry: the platform table's length bounds its
// entries, the built-in table has eight. Reading past either would be caught here.
TEST_F(RegisterAddressTest, SegmentBeyondTheTableUsesThePciExpressBase) {
  core.SetPcd(kPcdTokenPciExpressBaseAddress, 0xD0000000);
  PublishTable(TableLength(2), {0xE0000000, 0xC0000000});
  for (UINT32 segment : {2u, 3u, 0xFFFFu}) {
    const RegisterAddress reg = WithSegment(kSidebandBridge, segment);
    EXPECT_EQ(GetRegisterAddress(&reg), 0xD00F9000u) << segment;
  }
  PublishTable(TableLength(1) + 15, {0xE0000000}); // a partial second entry is no entry
  const RegisterAddress one = WithSegment(kSidebandBridge, 1);
  EXPECT_EQ(GetRegisterAddress(&one), 0xD00F9000u);
  PublishTable(0, {});
  for (UINT32 segment : {8u, 9u, 0xFFFFu}) {
    const RegisterAddress reg = WithSegment(kSidebandBridge, segment);
    EXPECT_EQ(GetRegisterAddress(&reg), 0xD00F9000u) << segment;
  }
  // Only bits 15:0 of Location are the segment.
  const RegisterAddress high = WithSegment(kSidebandBridge, 0x10000);
  EXPECT_EQ(GetRegisterAddress(&high), 0x800F9000u);
}

// The PCD PPI is asked afresh for every resolution: a later change of the platform's values is
// seen at once (nothing is cached in module memory, which in flash could not be written).
TEST_F(RegisterAddressTest, PlatformValuesAreReadForEveryResolution) {
  const uint64_t before = Calls("PcdGetPtr");
  PublishTable(TableLength(1), {0xE0000000});
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0xE00F9000u);
  PublishTable(TableLength(1), {0xA0000000});
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0xA00F9000u);
  EXPECT_EQ(Calls("PcdGetPtr") - before, 2u);
}

TEST_F(RegisterAddressTest, UnknownAddressTypeResolvesToNothing) {
  RegisterAddress reg = kSidebandBridge;
  reg.Attribute = RegisterAddressTypeField::Put(reg.Attribute, 1);
  EXPECT_EQ(GetRegisterAddress(&reg), 0u);
  reg.Attribute = RegisterAddressTypeField::Put(reg.Attribute, 0xFF);
  EXPECT_EQ(GetRegisterAddress(&reg), 0u);
  EXPECT_EQ(GetRegisterAddress(nullptr), 0u);
}

TEST_F(RegisterAddressTest, WithoutAServicesPointerTheBuiltInTableStillServes) {
  machine.cpu.SetPeiServicesSlot(0);
  EXPECT_EQ(GetRegisterAddress(&kSidebandBridge), 0x800F9000u);
  const RegisterAddress seven = WithSegment(kSidebandBridge, 7);
  EXPECT_EQ(GetRegisterAddress(&seven), 0xF9000u); // no PCI Express base: the offset alone
}

// End to end on the board: the PCH's configuration space is found where the platform's segment
// table says the host decodes it, and nowhere else.
TEST(SegmentResolution, PchIsFoundThroughThePlatformsTable) {
  const struct {
    const char *pcd;
    bool found;
  } cases[] = {
      {R"({})", false}, // built-in table: 0x80000000
      {R"({"segment_table": {"entries": ["0xE0000000"]}})", true},
      {R"({"segment_table": {"entries": [0]}})", true}, // no base: token 5, the decoded base
      {R"({"segment_table": {"length": 0, "entries": ["0xE0000000"]}})", false},
      {R"({"5": "0x80000000", "segment_table": {"entries": [0]}})", false},
  };
  for (const auto &c : cases) {
    test::PlatformBoard b(std::string(R"({"host": {"config_base": "0xE0000000"}, "pcd": )") +
                          c.pcd + "}");
    EXPECT_EQ(GetPchFamily(), c.found ? kPchFamilyServer : kPchFamilyUnknown) << c.pcd;
    EXPECT_EQ(ReadAddressStrap(), c.found) << c.pcd; // the default strap reads low
  }
}

} // namespace
