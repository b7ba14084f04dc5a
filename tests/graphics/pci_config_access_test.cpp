// The PCI configuration accessors on the board's models: the register number picks the port
// mechanism (below 0x100) or the memory-mapped space at the base the PCD publishes, with the
// address, byte lane and access width each mechanism asks for.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "access/pci_config.h"
#include "tests/graphics/display_board.h"
#include "tests/sim/access_log.h"

namespace {

using test::Access;
using test::AccessLog;
using test::DisplayBoard;

class PciConfigAccess : public ::testing::Test {
protected:
  explicit PciConfigAccess(const std::string &more = "")
      : b(R"({"root_port_function": 2})", more) {}
  void SetUp() override { b.board.machine.bus.SetTrace(&log); }
  void TearDown() override { b.board.machine.bus.SetTrace(nullptr); }
  std::vector<Access> Take() { return std::exchange(log.accesses, {}); }

  DisplayBoard b;
  AccessLog log;
};

// The root port at 0:28.2 sits at 0x80000000 + 28 << 15 + 2 << 12 in the memory-mapped space.
constexpr uint64_t kRootPortEcam = 0x80000000u + (28u << 15) + (2u << 12);

TEST_F(PciConfigAccess, RegistersBelow0x100GoThroughThePortsAtTheirByteLane) {
  PciWrite8(0, 28, 2, 0x1A, 0x02);
  EXPECT_EQ(Take(),
            (std::vector<Access>{{'i', 'w', 0xCF8, 4, 0x8000E218}, {'i', 'w', 0xCFE, 1, 0x02}}));
  EXPECT_EQ(b.Config(0, 28, 2, 0x1A, 1), 0x02u);

  PciWrite16(0, 28, 2, 0x3E, 0x0008); // bridge control: lane 2 of dword 0x3C
  PciWrite16(0, 28, 2, 0x20, 0xA000);
  EXPECT_EQ(Take(), (std::vector<Access>{{'i', 'w', 0xCF8, 4, 0x8000E23C},
                                         {'i', 'w', 0xCFE, 2, 0x0008},
                                         {'i', 'w', 0xCF8, 4, 0x8000E220},
                                         {'i', 'w', 0xCFC, 2, 0xA000}}));
  EXPECT_EQ(b.Config(0, 28, 2, 0x3E, 2), 0x0008u);

  EXPECT_EQ(PciRead16(0, 28, 2, 0x20), 0xA000u);
  (void)PciRead8(0, 28, 2, 0xFF); // the last register the ports reach
  const std::vector<Access> reads = Take();
  ASSERT_EQ(reads.size(), 4u);
  EXPECT_EQ(reads[2], (Access{'i', 'w', 0xCF8, 4, 0x8000E2FC}));
  EXPECT_EQ(reads[3].address, 0xCFFu);
  EXPECT_EQ(reads[3].width, 1u);
}

TEST_F(PciConfigAccess, From0x100OnTheMemoryMappedSpaceIsUsedAndAWriteIsReadBack) {
  (void)PciRead32(0, 28, 2, 0x100);
  std::vector<Access> got = Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, 'm');
  EXPECT_EQ(got[0].op, 'r');
  EXPECT_EQ(got[0].address, kRootPortEcam + 0x100);
  EXPECT_EQ(got[0].width, 4u);

  PciWrite16(0, 28, 2, 0x10C, 0x9000);
  got = Take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Access{'m', 'w', kRootPortEcam + 0x10C, 2, 0x9000}));
  EXPECT_EQ(got[1].op, 'r');
  EXPECT_EQ(got[1].address, kRootPortEcam + 0x10C);
  EXPECT_EQ(got[1].width, 2u);
}

class PciConfigAccessOtherPcdBase : public PciConfigAccess {
protected:
  PciConfigAccessOtherPcdBase() : PciConfigAccess(R"(, "pcd": {"5": "0xC0000000"})") {}
};

TEST_F(PciConfigAccessOtherPcdBase, TheMemoryMappedBaseIsTheOneThePcdPublishes) {
  (void)PciRead8(0, 28, 2, 0x100);
  const std::vector<Access> got = Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].address, 0xC0000000u + (28u << 15) + (2u << 12) + 0x100);
  EXPECT_EQ(got[0].width, 1u);
}

TEST_F(PciConfigAccess, WithoutPeiServicesTheMemoryMappedSpaceReadsAsAbsentAndTakesNoWrite) {
  b.board.machine.cpu.SetPeiServicesSlot(0);
  EXPECT_EQ(PciRead32(0, 28, 2, 0x100), 0xFFFFFFFFu);
  EXPECT_EQ(PciRead16(0, 28, 2, 0x100), 0xFFFFu);
  PciWrite32(0, 28, 2, 0x100, 0x12345678);
  EXPECT_TRUE(Take().empty());
  // The ports need no services.
  PciWrite8(0, 28, 2, 0x1A, 0x03);
  EXPECT_EQ(b.Config(0, 28, 2, 0x1A, 1), 0x03u);
}

} // namespace
