// The PEI core model's service semantics, which every module test relies on: notify dispatch as
// a PI core does it, the PPI database, HOB creation and SetMem.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/devices/memory/ram_device.h"
#include "sim/pei/pei_core.h"

namespace {

constexpr EFI_GUID kA = {0xA, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr EFI_GUID kB = {0xB, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};

std::vector<std::string> log_;
sim::PeiCore *core_ = nullptr;

EFI_STATUS EFIAPI NotifyA1(const EFI_PEI_SERVICES **, const EFI_PEI_NOTIFY_DESCRIPTOR *, VOID *) {
  log_.push_back("A1");
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI NotifyA2(const EFI_PEI_SERVICES **, const EFI_PEI_NOTIFY_DESCRIPTOR *, VOID *) {
  log_.push_back("A2");
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI NotifyB(const EFI_PEI_SERVICES **, const EFI_PEI_NOTIFY_DESCRIPTOR *, VOID *ppi) {
  log_.push_back("B:" + std::to_string(*static_cast<int *>(ppi)));
  return EFI_SUCCESS;
}

int ppiValue1 = 1, ppiValue2 = 2;
const EFI_PEI_PPI_DESCRIPTOR kPpiA[] = {{0x80000010, &kA, nullptr}};
const EFI_PEI_PPI_DESCRIPTOR kPpiB1[] = {{0x80000010, &kB, &ppiValue1}};
const EFI_PEI_PPI_DESCRIPTOR kPpiBBoth[] = {{0x10, &kB, &ppiValue1}, {0x80000010, &kB, &ppiValue2}};
const EFI_PEI_NOTIFY_DESCRIPTOR kNotifyA[] = {{0x20, &kA, NotifyA1}, {0x80000020, &kA, NotifyA2}};
const EFI_PEI_NOTIFY_DESCRIPTOR kNotifyB[] = {{0x80000020, &kB, NotifyB}};

// Registers the B notify from inside the A notify, as OnProgressStart arms its lists.
EFI_STATUS EFIAPI RegisterBFromA(const EFI_PEI_SERVICES **s, const EFI_PEI_NOTIFY_DESCRIPTOR *,
                                 VOID *) {
  log_.push_back("registering B");
  (*s)->NotifyPpi(s, kNotifyB);
  (*s)->InstallPpi(s, kPpiB1);
  return EFI_SUCCESS;
}
const EFI_PEI_NOTIFY_DESCRIPTOR kNotifyAThenB[] = {{0x80000020, &kA, RegisterBFromA}};

class PeiCoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    log_.clear();
    core_ = &core;
  }
  sim::Machine machine;
  sim::PeiCore core{machine, 0};
  const EFI_PEI_SERVICES **s = core.Services();
};

TEST_F(PeiCoreTest, InstallRunsRegisteredNotifiesInRegistrationOrder) {
  (*s)->NotifyPpi(s, kNotifyA);
  EXPECT_TRUE(log_.empty());
  (*s)->InstallPpi(s, kPpiA);
  EXPECT_EQ(log_, (std::vector<std::string>{"A1", "A2"}));
}

TEST_F(PeiCoreTest, RegisteringForAnInstalledPpiRunsAtOnceForEachInstance) {
  (*s)->InstallPpi(s, kPpiBBoth);
  (*s)->NotifyPpi(s, kNotifyB);
  EXPECT_EQ(log_, (std::vector<std::string>{"B:1", "B:2"}));
  (*s)->InstallPpi(s, kPpiB1);
  EXPECT_EQ(log_.back(), "B:1");
  EXPECT_EQ(log_.size(), 3u);
}

TEST_F(PeiCoreTest, NotifiesRegisteredInsideACallbackRunOncePerPpi) {
  (*s)->NotifyPpi(s, kNotifyAThenB);
  (*s)->InstallPpi(s, kPpiA);
  EXPECT_EQ(log_, (std::vector<std::string>{"registering B", "B:1"}));
}

TEST_F(PeiCoreTest, ListsWithoutTheirFlagsAreRejectedWhole) {
  const EFI_PEI_PPI_DESCRIPTOR notAPpi[] = {{0x10, &kA, nullptr}, {0x80000000, &kB, nullptr}};
  const size_t before = core.InstalledPpis().size();
  EXPECT_EQ((*s)->InstallPpi(s, notAPpi), EFI_INVALID_PARAMETER);
  EXPECT_EQ(core.InstalledPpis().size(), before);
  const EFI_PEI_NOTIFY_DESCRIPTOR notANotify[] = {{0x80000010, &kA, NotifyA1}};
  EXPECT_EQ((*s)->NotifyPpi(s, notANotify), EFI_INVALID_PARAMETER);
  EXPECT_TRUE(core.Notifies().empty());
}

TEST_F(PeiCoreTest, LocateByGuidAndInstance) {
  (*s)->InstallPpi(s, kPpiBBoth);
  VOID *ppi = nullptr;
  EFI_PEI_PPI_DESCRIPTOR *d = nullptr;
  ASSERT_EQ((*s)->LocatePpi(s, &kB, 1, &d, &ppi), EFI_SUCCESS);
  EXPECT_EQ(ppi, &ppiValue2);
  EXPECT_EQ(d, &kPpiBBoth[1]);
  EXPECT_EQ((*s)->LocatePpi(s, &kB, 2, nullptr, &ppi), EFI_NOT_FOUND);
  EXPECT_EQ((*s)->LocatePpi(s, &gEfiPeiStallPpiGuid, 0, nullptr, &ppi), EFI_SUCCESS);
}

TEST_F(PeiCoreTest, StallAdvancesVirtualTimeByItsArgument) {
  VOID *ppi = nullptr;
  ASSERT_EQ((*s)->LocatePpi(s, &gEfiPeiStallPpiGuid, 0, nullptr, &ppi), EFI_SUCCESS);
  auto *stall = static_cast<EFI_PEI_STALL_PPI *>(ppi);
  const uint64_t before = machine.clock.NowNs();
  stall->Stall(s, stall, 250);
  EXPECT_EQ(machine.clock.NowNs() - before, 250'000u);
  EXPECT_EQ(core.StallUs(), 250u);
}

TEST_F(PeiCoreTest, PcdTokensComeFromTheBoard) {
  core.SetPcd(5, 0xE0000000);
  VOID *ppi = nullptr;
  ASSERT_EQ((*s)->LocatePpi(s, &gPcdPpiGuid, 0, nullptr, &ppi), EFI_SUCCESS);
  auto *pcd = static_cast<PCD_PPI *>(ppi);
  EXPECT_EQ(pcd->Get64(5), 0xE0000000u);
  EXPECT_EQ(pcd->GetPtr(6), nullptr);
}

TEST_F(PeiCoreTest, CreateHobKeepsTheEndHobLastAndFailsCleanlyWhenFull) {
  sim::PeiCore small(machine, 0, 56 + 8 + 32);
  const EFI_PEI_SERVICES **ss = small.Services();
  VOID *hob = nullptr;
  ASSERT_EQ((*ss)->CreateHob(ss, 4, 28, &hob), EFI_SUCCESS);
  const auto before = small.Hobs().Walk();
  ASSERT_EQ(before.size(), 3u);
  EXPECT_EQ(before[1].length, 32);
  EXPECT_EQ(before.back().type, 0xFFFF);
  EXPECT_EQ((*ss)->CreateHob(ss, 4, 8, &hob), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(small.Hobs().Walk().size(), 3u);
  EXPECT_EQ(small.Hobs().Walk().back().type, 0xFFFF);
  // The PHIT's end-of-list pointer follows the end HOB.
  auto *phit = static_cast<EFI_HOB_HANDOFF_INFO_TABLE *>(small.Hobs().Head());
  EXPECT_EQ(phit->EfiEndOfHobList, reinterpret_cast<uintptr_t>(before.back().bytes));
}

TEST_F(PeiCoreTest, CreateHobRoundsLengthsUpToMultiplesOfEight) {
  VOID *hob = nullptr;
  for (const uint16_t length : {8, 9, 15, 16, 28, 0x1001}) {
    ASSERT_EQ((*s)->CreateHob(s, 4, length, &hob), EFI_SUCCESS) << length;
    const auto *header = static_cast<const EFI_HOB_GENERIC_HEADER *>(hob);
    EXPECT_EQ(header->HobLength, (length + 7) / 8 * 8) << length;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(hob) % 8, 0u);
    // The end HOB follows the rounded length.
    const auto *next = reinterpret_cast<const EFI_HOB_GENERIC_HEADER *>(
        static_cast<uint8_t *>(hob) + header->HobLength);
    EXPECT_EQ(next->HobType, EFI_HOB_TYPE_END_OF_HOB_LIST);
  }
  const size_t count = core.Hobs().Walk().size();
  // Below the header, or too long to round within 16 bits: rejected, the list unchanged.
  for (const uint16_t length : {0, 7, 0xFFF9, 0xFFFF}) {
    EXPECT_EQ((*s)->CreateHob(s, 4, length, &hob), EFI_INVALID_PARAMETER) << length;
  }
  EXPECT_EQ(core.Hobs().Walk().size(), count);
}

TEST_F(PeiCoreTest, CreateHobLeavesTheBodyAsHobMemoryHeldIt) {
  VOID *first = nullptr;
  ASSERT_EQ((*s)->CreateHob(s, 4, 40, &first), EFI_SUCCESS);
  const auto *bytes = static_cast<const uint8_t *>(first);
  EXPECT_EQ(bytes[0], 4); // the header is the core's
  EXPECT_EQ(bytes[2], 40);
  for (size_t i = sizeof(EFI_HOB_GENERIC_HEADER); i < 40; ++i) {
    EXPECT_EQ(bytes[i], sim::PeiCore::kHobMemoryFill) << i;
  }
  // What a module wrote into one HOB stays; the next HOB's body again holds the fill, including
  // where the end HOB stood before.
  std::memset(static_cast<uint8_t *>(first) + 8, 0x11, 32);
  VOID *second = nullptr;
  ASSERT_EQ((*s)->CreateHob(s, 4, 24, &second), EFI_SUCCESS);
  EXPECT_EQ(bytes[39], 0x11);
  const auto *body = static_cast<const uint8_t *>(second);
  for (size_t i = sizeof(EFI_HOB_GENERIC_HEADER); i < 24; ++i) {
    EXPECT_EQ(body[i], sim::PeiCore::kHobMemoryFill) << i;
  }
}

// Installs and notify registrations read their lists the same way: every entry up to the
// terminate flag, or nothing at all.
TEST_F(PeiCoreTest, DescriptorListsEndAtTheirTerminateFlagWithinABound) {
  constexpr size_t kBound = 256;
  std::vector<EFI_PEI_PPI_DESCRIPTOR> ppis(kBound + 1, {0x10, &kB, &ppiValue1});
  const size_t before = core.InstalledPpis().size();
  EXPECT_EQ((*s)->InstallPpi(s, ppis.data()), EFI_INVALID_PARAMETER);
  ppis[kBound].Flags = 0x80000010; // the terminator one past the bound
  EXPECT_EQ((*s)->InstallPpi(s, ppis.data()), EFI_INVALID_PARAMETER);
  EXPECT_EQ(core.InstalledPpis().size(), before);
  ppis[kBound - 1].Flags = 0x80000010;
  EXPECT_EQ((*s)->InstallPpi(s, ppis.data()), EFI_SUCCESS);
  EXPECT_EQ(core.InstalledPpis().size(), before + kBound);

  // A notify list with an entry lacking its function is refused whole.
  const EFI_PEI_NOTIFY_DESCRIPTOR noFunction[] = {{0x20, &kB, NotifyB}, {0x80000020, &kB, nullptr}};
  EXPECT_EQ((*s)->NotifyPpi(s, noFunction), EFI_INVALID_PARAMETER);
  EXPECT_TRUE(core.Notifies().empty());
  EXPECT_TRUE(log_.empty());
  const EFI_PEI_PPI_DESCRIPTOR noGuid[] = {{0x80000010, nullptr, &ppiValue1}};
  EXPECT_EQ((*s)->InstallPpi(s, noGuid), EFI_INVALID_PARAMETER);
  EXPECT_EQ((*s)->InstallPpi(s, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ((*s)->NotifyPpi(s, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(core.InstalledPpis().size(), before + kBound);
}

TEST_F(PeiCoreTest, SetMemReachesDeviceMemoryThroughTheBus) {
  sim::RamDevice ram(machine.bus, 0xA0000000, 0x1000, "ram", 0x77);
  (*s)->SetMem(reinterpret_cast<VOID *>(uintptr_t{0xA0000010}), 0x20, 0);
  EXPECT_EQ(ram.At(0x0F), 0x77);
  EXPECT_EQ(ram.At(0x10), 0);
  EXPECT_EQ(ram.At(0x2F), 0);
  EXPECT_EQ(ram.At(0x30), 0x77);
  EXPECT_EQ(machine.bus.Counts().mmio.writes, 0x20u / 4); // aligned dwords
  // Unaligned ends take byte stores: 3 + 2 dwords + 2.
  (*s)->SetMem(reinterpret_cast<VOID *>(uintptr_t{0xA0000101}), 13, 0x5A);
  EXPECT_EQ(machine.bus.Counts().mmio.writes, 8u + 3 + 2 + 2);
  EXPECT_EQ(ram.At(0x100), 0x77);
  EXPECT_EQ(ram.At(0x101), 0x5A);
  EXPECT_EQ(ram.At(0x10D), 0x5A);
  EXPECT_EQ(ram.At(0x10E), 0x77);
  uint8_t host[4] = {1, 2, 3, 4};
  (*s)->SetMem(host, 3, 9);
  EXPECT_EQ(host[2], 9);
  EXPECT_EQ(host[3], 4);
}

} // namespace
