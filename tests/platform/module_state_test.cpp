// The module's state HOB: absent reads as zero, created on the first write that is not zero,
// reused afterwards, and a full HOB list loses the write without harm.
#include <gtest/gtest.h>

#include <cstring>

#include "modules/boot_progress_pei/platform/module_state.h"
#include "sim/core/machine.h"
#include "sim/pei/pei_core.h"
#include "sim/pi/hob_list.h"

namespace {

size_t StateHobs(const sim::HobList &hobs) {
  size_t n = 0;
  for (const sim::HobView &h : hobs.Walk()) {
    if (h.type == EFI_HOB_TYPE_GUID_EXTENSION &&
        std::memcmp(h.bytes + 8, &ModuleStateHobGuid, 16) == 0) {
      EXPECT_EQ(h.length, sizeof(ModuleStateHob));
      ++n;
    }
  }
  return n;
}

TEST(ModuleState, AbsentReadsAsZeroAndAZeroWriteCreatesNothing) {
  sim::Machine machine;
  sim::PeiCore core(machine, 0);
  const ModuleState state = LoadModuleState(core.Services());
  EXPECT_EQ(state.BmcAddressShown, 0);
  EXPECT_EQ(state.PchFamily, 0);
  EXPECT_EQ(state.ServerPch, 0);
  EXPECT_EQ(StoreModuleState(core.Services(), ModuleState{}), EFI_SUCCESS);
  EXPECT_EQ(StateHobs(core.Hobs()), 0u);
}

TEST(ModuleState, FirstWriteCreatesTheHobAndLaterWritesReuseIt) {
  sim::Machine machine;
  sim::PeiCore core(machine, 0);
  ModuleState state{};
  state.BmcAddressShown = 1;
  ASSERT_EQ(StoreModuleState(core.Services(), state), EFI_SUCCESS);
  EXPECT_EQ(StateHobs(core.Hobs()), 1u);
  state.PchFamily = 2;
  state.BmcAddressShown = 0;
  ASSERT_EQ(StoreModuleState(core.Services(), state), EFI_SUCCESS);
  EXPECT_EQ(StateHobs(core.Hobs()), 1u);
  const ModuleState read = LoadModuleState(core.Services());
  EXPECT_EQ(read.BmcAddressShown, 0);
  EXPECT_EQ(read.PchFamily, 2);
  EXPECT_EQ(read.ServerPch, 0);
  // A zero state is written into an existing HOB, not skipped.
  ASSERT_EQ(StoreModuleState(core.Services(), ModuleState{}), EFI_SUCCESS);
  EXPECT_EQ(LoadModuleState(core.Services()).PchFamily, 0);
}

TEST(ModuleState, FullHobMemoryLosesTheWriteAndKeepsTheList) {
  sim::Machine machine;
  sim::PeiCore core(machine, 0, 80); // the PHIT and the end HOB, no room for more
  const size_t used = core.Hobs().UsedBytes();
  ModuleState state{};
  state.ServerPch = 1;
  EXPECT_EQ(StoreModuleState(core.Services(), state), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(core.Hobs().UsedBytes(), used);
  EXPECT_EQ(LoadModuleState(core.Services()).ServerPch, 0);
}

TEST(ModuleState, NoServicesPointerMeansNoState) {
  ModuleState state{};
  state.BmcAddressShown = 1;
  EXPECT_EQ(StoreModuleState(nullptr, state), EFI_INVALID_PARAMETER);
  EXPECT_EQ(LoadModuleState(nullptr).BmcAddressShown, 0);
}

TEST(ModuleState, HobListFailureReadsAsAbsent) {
  sim::Machine machine;
  sim::PeiCore core(machine, 0);
  ModuleState state{};
  state.BmcAddressShown = 1;
  ASSERT_EQ(StoreModuleState(core.Services(), state), EFI_SUCCESS);
  core.faults.get_hob_list = true;
  EXPECT_EQ(LoadModuleState(core.Services()).BmcAddressShown, 0);
}

} // namespace
