// The saved-context exit: what LongJump restores, how ExitDriver passes the status, and when the
// release step runs.
#include <gtest/gtest.h>

#include <cstring>

#include "modules/dimm_report_smm/driver_state.h"
#include "sim/core/module_globals.h"
#include "tests/smm/smm_fixture.h"

using namespace smmtest;

extern "C" UINTN EFIAPI JumpProbe(JumpBuffer *context, UINT64 *out, UINTN value);

namespace {
uint64_t Repeat(uint8_t byte) { return 0x0101010101010101ull * byte; }
} // namespace

TEST(SaveAndResume, LongJumpRestoresEveryCalleeSavedRegister) {
  JumpBuffer context;
  alignas(16) UINT64 out[32] = {};
  EXPECT_EQ(JumpProbe(&context, out, 0x1234), 0x1234u);
  const char *names[] = {"rbx", "rbp", "rdi", "rsi", "r12", "r13", "r14", "r15"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(out[i], Repeat(static_cast<uint8_t>(0xA1 + i))) << names[i];
  }
  EXPECT_EQ(out[8], out[30]) << "stack pointer";
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(out[9 + 2 * x], Repeat(static_cast<uint8_t>(0xB6 + x))) << "xmm" << 6 + x;
    EXPECT_EQ(out[10 + 2 * x], Repeat(static_cast<uint8_t>(0xB6 + x))) << "xmm" << 6 + x;
  }
  UINT32 mxcsr;
  UINT16 fcw;
  std::memcpy(&mxcsr, reinterpret_cast<uint8_t *>(out) + 0xE8, 4);
  std::memcpy(&fcw, reinterpret_cast<uint8_t *>(out) + 0xEC, 2);
  EXPECT_EQ(mxcsr & 0xFFC0u, 0x3F80u); // control bits; the low six are sticky flags
  EXPECT_EQ(fcw, 0x027F);
}

TEST(SaveAndResume, ValueZeroResumesAsOne) {
  JumpBuffer context;
  alignas(16) UINT64 out[32] = {};
  EXPECT_EQ(JumpProbe(&context, out, 0), 1u);
}

class ExitDriverStatus : public ::testing::Test {
protected:
  EFI_STATUS Exit(EFI_STATUS before, EFI_STATUS given) {
    sim::RestoreFreshModuleGlobals();
    DriverEntryStatus = before;
    if (SetJump(&JumpContext) == 0) {
      ExitDriver(given);
    }
    return DriverEntryStatus;
  }
};

TEST_F(ExitDriverStatus, SuccessOrErrorReplacesAnError) {
  EXPECT_EQ(Exit(EFI_LOAD_ERROR, EFI_SUCCESS), EFI_SUCCESS);
  EXPECT_EQ(Exit(EFI_LOAD_ERROR, EFI_DEVICE_ERROR), EFI_DEVICE_ERROR);
}

TEST_F(ExitDriverStatus, ErrorDoesNotReplaceASuccess) {
  EXPECT_EQ(Exit(EFI_SUCCESS, EFI_DEVICE_ERROR), EFI_SUCCESS);
  EXPECT_EQ(Exit(EFI_SUCCESS, EFI_NOT_FOUND), EFI_SUCCESS);
}

TEST(ReleaseStep, RunsOnlyWhenTheReportFails) {
  {
    sim::SmmBoard board(ScenarioWith(nullptr));
    EXPECT_EQ(board.Load(DriverEntry), EFI_SUCCESS);
    EXPECT_EQ(board.core.Calls("SmmFreePool") + board.core.Calls("FreePool"), 0u);
    EXPECT_TRUE(board.core.Pool().Live(SmramRanges));
  }
  {
    sim::SmmBoard board(ScenarioWith({{"topology_hob", false}}));
    EXPECT_EQ(board.Load(DriverEntry), EFI_DEVICE_ERROR);
    EXPECT_EQ(board.core.Calls("SmmFreePool"), 1u);
    EXPECT_FALSE(board.core.Pool().Live(SmramRanges));
  }
}

TEST(ReleaseStep, WithoutAMapNothingIsFreed) {
  sim::SmmBoard board(ScenarioWith({{"topology_hob", false}, {"missing", {"smm_access2"}}}));
  EXPECT_EQ(board.Load(DriverEntry), EFI_DEVICE_ERROR);
  EXPECT_EQ(board.core.Calls("SmmFreePool") + board.core.Calls("FreePool"), 0u);
}
