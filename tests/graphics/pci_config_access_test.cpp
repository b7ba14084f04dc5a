// The PCI configuration accessors on the board's models: the register number picks the port
// mechanism (below 0x100) or the memory-mapped space at the base the PCD publishes, with the
// address, byte lane and access width each mechanism asks for.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "graphics/pci_config_access.h"
#include "tests/graphics/display_board.h"

namespace {

using test::DisplayBoard;

struct Access {
  std::string kind; // "io" or "mmio"
  bool write;
  uint64_t addr;
  unsigned width;
  uint64_t value;
  bool operator==(const Access &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Access &a) {
  return out << a.kind << (a.write ? " w " : " r ") << std::hex << a.addr << "/" << a.width << " = "
             << a.value;
}

// Port and memory accesses as they reach the bus; service calls are left out.
class AccessLog : public sim::Trace {
public:
  AccessLog() : sim::Trace(unused_) {}
  void Record(double, std::string_view kind, std::string_view op, uint64_t addr, unsigned width,
              uint64_t value, std::string_view) override {
    if (kind == "io" || kind == "mmio") {
      accesses.push_back({std::string(kind), op == "w", addr, width, value});
    }
  }
  std::vector<Access> accesses;

private:
  std::ostringstream unused_;
};

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
  PciWrite8(0x1A, 0, 28, 2, 0x02);
  EXPECT_EQ(Take(), (std::vector<Access>{{"io", true, 0xCF8, 4, 0x8000E218},
                                         {"io", true, 0xCFE, 1, 0x02}}));
  EXPECT_EQ(b.Config(0, 28, 2, 0x1A, 1), 0x02u);

  PciWrite16(0x3E, 0, 28, 2, 0x0008); // bridge control: lane 2 of dword 0x3C
  PciWrite16(0x20, 0, 28, 2, 0xA000);
  EXPECT_EQ(Take(), (std::vector<Access>{{"io", true, 0xCF8, 4, 0x8000E23C},
                                         {"io", true, 0xCFE, 2, 0x0008},
                                         {"io", true, 0xCF8, 4, 0x8000E220},
                                         {"io", true, 0xCFC, 2, 0xA000}}));
  EXPECT_EQ(b.Config(0, 28, 2, 0x3E, 2), 0x0008u);

  EXPECT_EQ(PciRead16(0x20, 0, 28, 2), 0xA000u);
  (void)PciRead8(0xFF, 0, 28, 2); // the last register the ports reach
  const std::vector<Access> reads = Take();
  ASSERT_EQ(reads.size(), 4u);
  EXPECT_EQ(reads[2], (Access{"io", true, 0xCF8, 4, 0x8000E2FC}));
  EXPECT_EQ(reads[3].addr, 0xCFFu);
  EXPECT_EQ(reads[3].width, 1u);
}

TEST_F(PciConfigAccess, From0x100OnTheMemoryMappedSpaceIsUsedAndAWriteIsReadBack) {
  (void)PciRead32(0x100, 0, 28, 2);
  std::vector<Access> got = Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, "mmio");
  EXPECT_FALSE(got[0].write);
  EXPECT_EQ(got[0].addr, kRootPortEcam + 0x100);
  EXPECT_EQ(got[0].width, 4u);

  PciWrite16(0x10C, 0, 28, 2, 0x9000);
  got = Take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Access{"mmio", true, kRootPortEcam + 0x10C, 2, 0x9000}));
  EXPECT_FALSE(got[1].write);
  EXPECT_EQ(got[1].addr, kRootPortEcam + 0x10C);
  EXPECT_EQ(got[1].width, 2u);
}

class PciConfigAccessOtherPcdBase : public PciConfigAccess {
protected:
  PciConfigAccessOtherPcdBase() : PciConfigAccess(R"(, "pcd": {"5": "0xC0000000"})") {}
};

TEST_F(PciConfigAccessOtherPcdBase, TheMemoryMappedBaseIsTheOneThePcdPublishes) {
  (void)PciRead8(0x100, 0, 28, 2);
  const std::vector<Access> got = Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].addr, 0xC0000000u + (28u << 15) + (2u << 12) + 0x100);
  EXPECT_EQ(got[0].width, 1u);
}

TEST_F(PciConfigAccess, WithoutPeiServicesTheMemoryMappedSpaceReadsAsAbsentAndTakesNoWrite) {
  b.board.machine.cpu.SetPeiServicesSlot(0);
  EXPECT_EQ(PciRead32(0x100, 0, 28, 2), 0xFFFFFFFFu);
  EXPECT_EQ(PciRead16(0x100, 0, 28, 2), 0xFFFFu);
  PciWrite32(0x100, 0, 28, 2, 0x12345678);
  EXPECT_TRUE(Take().empty());
  // The ports need no services.
  PciWrite8(0x1A, 0, 28, 2, 0x03);
  EXPECT_EQ(b.Config(0, 28, 2, 0x1A, 1), 0x03u);
}

} // namespace
