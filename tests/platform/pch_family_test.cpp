// PCH family detection and where its result is kept: in the module's state HOB, never in a
// module global (the module runs from flash). The LPC/eSPI bridge's configuration space is plain
// memory here, holding only the device ID the detection reads.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "modules/boot_progress_pei/platform/gpio_group_table.h"
#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/platform/pch_family.h"
#include "sim/core/machine.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/pei/pei_core.h"

namespace {

constexpr uint64_t kLpcConfigSpace = 0x800F8000; // built-in segment table: 0x80000000 + 0:31.0

class PchFamilyTest : public ::testing::Test {
protected:
  PchFamilyTest() { NewBoot(); }

  // A fresh PEI core: an empty HOB list, as at the next boot.
  void NewBoot() {
    core = std::make_unique<sim::PeiCore>(machine, 0);
    machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(core->Services()));
  }
  void SetDeviceId(UINT16 id) { std::memcpy(lpc.Data() + 2, &id, 2); }
  ModuleState State() { return LoadModuleState(core->Services()); }
  size_t HobCount() { return core->Hobs().Walk().size(); }

  sim::Machine machine;
  sim::RamDevice lpc{machine.bus, kLpcConfigSpace, 0x1000, "lpc-config"};
  std::unique_ptr<sim::PeiCore> core;
};

TEST_F(PchFamilyTest, ClassifiesByDeviceId) {
  struct Case {
    UINT16 id;
    UINT32 family;
  } cases[] = {{0xA1BF, 3}, {0xA1C0, 1}, {0xA1CF, 1}, {0xA1D0, 3}, {0xA23F, 3},
               {0xA240, 1}, {0xA24F, 1}, {0xA250, 3}, {0x9D40, 2}, {0x9D43, 2},
               {0x9D44, 3}, {0x9D46, 2}, {0x9D47, 3}, {0x9D48, 2}, {0xFFFF, 3}};
  for (const Case &c : cases) {
    NewBoot();
    SetDeviceId(c.id);
    EXPECT_EQ(GetPchFamily(), c.family) << std::hex << c.id;
    EXPECT_EQ(IsServerPch(), c.family == 1 ? 1u : 2u) << std::hex << c.id;
  }
}

TEST_F(PchFamilyTest, RecognisedFamilyIsKeptInTheStateHob) {
  SetDeviceId(0xA1C3);
  const size_t before = HobCount();
  EXPECT_EQ(GetPchFamily(), kPchFamilyServer);
  EXPECT_EQ(IsServerPch(), kIsServerPchYes);
  EXPECT_EQ(HobCount(), before + 1); // one state HOB for both values
  EXPECT_EQ(State().PchFamily, kPchFamilyServer);
  EXPECT_EQ(State().ServerPch, 1);
  SetDeviceId(0x9D40); // not read again while the state knows the answer
  EXPECT_EQ(GetPchFamily(), kPchFamilyServer);
  EXPECT_EQ(IsServerPch(), kIsServerPchYes);
  NewBoot(); // a new HOB list knows nothing yet
  EXPECT_EQ(GetPchFamily(), kPchFamilyMobile);
  EXPECT_EQ(IsServerPch(), kIsServerPchNo);
}

TEST_F(PchFamilyTest, UnrecognisedPchIsClassifiedOnEveryCall) {
  SetDeviceId(0x1234);
  const size_t before = HobCount();
  EXPECT_EQ(GetPchFamily(), kPchFamilyUnknown);
  EXPECT_EQ(IsServerPch(), kIsServerPchNo);
  EXPECT_EQ(HobCount(), before); // nothing known, nothing stored
  SetDeviceId(0xA240);
  EXPECT_EQ(GetPchFamily(), kPchFamilyServer);
  EXPECT_EQ(IsServerPch(), kIsServerPchYes);
}

TEST_F(PchFamilyTest, MobileFamilyIsKeptButNotServerIsAskedAgain) {
  SetDeviceId(0x9D46);
  EXPECT_EQ(GetPchFamily(), kPchFamilyMobile);
  EXPECT_EQ(IsServerPch(), kIsServerPchNo);
  SetDeviceId(0xA1C0);
  EXPECT_EQ(GetPchFamily(), kPchFamilyMobile); // known, kept
  EXPECT_EQ(IsServerPch(), kIsServerPchYes);   // "no" is the not-yet-known value: asked again
}

TEST_F(PchFamilyTest, OnlyTheServerPchHasAGroupTable) {
  SetDeviceId(0x9D40);
  UINT32 count = 99;
  EXPECT_EQ(GetGpioGroupTable(&count), nullptr);
  EXPECT_EQ(count, 0u);
  NewBoot();
  SetDeviceId(0xA1C0);
  EXPECT_EQ(GetGpioGroupTable(&count), GpioGroupTable);
  EXPECT_EQ(count, 13u);
}

} // namespace
