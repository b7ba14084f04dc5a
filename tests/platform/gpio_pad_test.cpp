// GPIO pad access against the PCH models: the registers each operation changes, the checks that
// refuse a pad, and the lock message through the sideband bridge.
#include <gtest/gtest.h>

#include "modules/boot_progress_pei/platform/gpio.h"
#include "modules/boot_progress_pei/platform/gpio_group_table.h"
#include "modules/boot_progress_pei/platform/gpio_lock.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"
#include "modules/boot_progress_pei/platform/sideband.h"
#include "sim/devices/pch/gpio_community.h"
#include "tests/platform/platform_board.h"

namespace {

using test::PlatformBoard;

constexpr UINT32 kPad = 0x01030008; // group 3 pad 8: port 0xAE, PAD_CFG 0x4C0
constexpr PadConfig kStrapSample = {PadConfigWord0::From(0x02602AF1), PadConfigWord1::From(0)};

TEST(GpioPadTable, ModuleAndBoardAgreeOnEveryGroup) {
  const auto &board = sim::ServerPchGpioGroups();
  auto reg = [](UINT32 offset) { return offset == kNoRegister ? 0xFFFFu : offset; };
  for (UINT32 g = 0; g < kServerPchGroupCount; ++g) {
    const GpioGroupRow &m = GpioGroupTable[g];
    const sim::GpioGroupLayout &b = board[g];
    EXPECT_EQ(m.PortId, b.port) << g;
    EXPECT_EQ(reg(m.PadOwn), b.pad_own) << g;
    EXPECT_EQ(reg(m.HostSwOwn), b.hostsw_own) << g;
    EXPECT_EQ(reg(m.GpiGpeEn), b.gpe_en) << g;
    EXPECT_EQ(reg(m.GpiSmiEn), b.smi_en) << g;
    EXPECT_EQ(reg(m.GpiNmiEn), b.nmi_en) << g;
    EXPECT_EQ(reg(m.PadCfgLock), b.lock) << g;
    EXPECT_EQ(reg(m.PadCfgLockTx), b.lock_tx) << g;
    EXPECT_EQ(reg(m.PadCfg), b.pad_cfg) << g;
    EXPECT_EQ(m.PadCount, b.pads) << g;
  }
}

// Every writable bit of DW0 and DW1 set: the sample configuration replaces exactly its fields.
TEST(WritePadConfig, StrapSampleConfigChangesExactlyItsFields) {
  PlatformBoard b(R"({"pch": {"pads": {"0x01030008": {"level": 1, "dw0": "0xF7FE1F01",
                                                      "dw1": "0x02003CFF", "gpe_en": 1}}}})");
  ASSERT_EQ(WritePadConfig(kPad, &kStrapSample), EFI_SUCCESS);
  const auto pad = b.Pad(3, 8);
  // Replaced: reset 31:30 (01), inversion 23, routing 20:17, mode 12:10, buffer disables 9:8
  // (output off, input on), output level 0. Kept: 29:28 (bit 28 among them), 26:24 (the input
  // event configuration 26:25 among them), 22:21.
  EXPECT_EQ(pad.dw0, 0x77600100u | 2u); // input buffer on: the high level shows in bit 1
  EXPECT_EQ(pad.dw1, 0x020000FFu);      // termination 13:10 off; bit 25 and 7:0 kept
  EXPECT_TRUE(pad.hostsw_own);
  EXPECT_FALSE(pad.gpe_en);
  EXPECT_FALSE(pad.locked || pad.tx_locked);
  EXPECT_TRUE(b.Platform().p2sb.Messages().empty());
  EXPECT_TRUE(b.Platform().p2sb.HideWrites().empty());
  UINT32 input = 0;
  ASSERT_EQ(ReadPadInput(kPad, &input), EFI_SUCCESS);
  EXPECT_EQ(input, 2u); // the bit in its place, not the level
}

TEST(WritePadConfig, AllZeroConfigRewritesTheSameValuesAndFailsOnALockedPad) {
  PlatformBoard b(R"({"pch": {"pads": {
      "0x01030008": {"dw0": "0x86A81D01", "dw1": "0x2800", "hostsw_own": 1, "gpe_en": 1},
      "0x01030009": {"dw0": "0x86A81D01", "locked": true}}}})");
  const auto before = b.Pad(3, 8);
  const PadConfig zero{};
  ASSERT_EQ(WritePadConfig(kPad, &zero), EFI_SUCCESS);
  EXPECT_EQ(b.Pad(3, 8), before);
  EXPECT_EQ(b.GpioWrites(), 4u); // DW0, DW1, HOSTSW_OWN and GPI_GPE_EN written back
  EXPECT_TRUE(b.Platform().p2sb.Messages().empty());
  const auto locked = b.Pad(3, 9);
  EXPECT_EQ(WritePadConfig(kPad + 1, &zero), EFI_WRITE_PROTECTED);
  EXPECT_EQ(WritePadConfig(kPad + 1, &kStrapSample), EFI_WRITE_PROTECTED);
  EXPECT_EQ(b.Pad(3, 9), locked);
}

// Each field alone, with all its value bits set, sets exactly its own bits of DW0 or DW1 on a pad
// whose words are clear, and reads back whole beside the constant present bits.
TEST(PadConfigFields, EachFieldMovesOnlyItsOwnBits) {
  struct Field {
    const char *name;
    UINT32 word0, word1, dw0, dw1;
  } fields[] = {
      {"Mode", 0x0000000F, 0, 0x00001C00, 0},        {"Buffer", 0x000001C0, 0, 0x00000300, 0},
      {"Invert", 0x00000600, 0, 0x00800000, 0},      {"TxState", 0x00001800, 0, 0x00000001, 0},
      {"Route", 0x0003E000, 0, 0x001E0000, 0},       {"Trigger", 0x001C0000, 0, 0x06000000, 0},
      {"ResetDomain", 0x00E00000, 0, 0xC0000000, 0}, {"Termination", 0x3E000000, 0, 0, 0x3C00},
      {"Dw1Bit25", 0xC0000000, 0, 0, 0x02000000},    {"Dw0Bit28", 0, 0x18, 0x10000000, 0},
  };
  for (const Field &f : fields) {
    PlatformBoard b(R"({"pch": {"pads": {"0x01030008": {"dw0": 0, "dw1": 0}}}})");
    const PadConfig config = {PadConfigWord0::From(f.word0), PadConfigWord1::From(f.word1)};
    ASSERT_EQ(WritePadConfig(kPad, &config), EFI_SUCCESS) << f.name;
    EXPECT_EQ(b.Pad(3, 8).dw0, f.dw0) << f.name;
    EXPECT_EQ(b.Pad(3, 8).dw1, f.dw1) << f.name;
    PadConfig read{};
    ASSERT_EQ(ReadPadConfig(kPad, &read), EFI_SUCCESS) << f.name;
    EXPECT_EQ(read.Word0.Raw(), 0x42242A51u | f.word0) << f.name;
    EXPECT_EQ(read.Word1.Raw(), 0x09u | f.word1) << f.name;
  }
}

TEST(ReadPadInput, ShowsTheLevelOnlyWhileTheInputBufferIsOn) {
  PlatformBoard b(R"({"pch": {"pads": {"0x01030008": {"level": 1, "dw0": "0x40000100"},
                                      "0x01030009": {"level": 1, "dw0": "0x40000300"}}}})");
  UINT32 input = 7;
  ASSERT_EQ(ReadPadInput(kPad, &input), EFI_SUCCESS);
  EXPECT_EQ(input, 2u);
  ASSERT_EQ(ReadPadInput(kPad + 1, &input), EFI_SUCCESS);
  EXPECT_EQ(input, 0u);
}

TEST(ReadPadConfig, ConstantBitsOfAnAllZeroPad) {
  PlatformBoard b(R"({"pch": {"pads": {"0x01030008": {"dw0": 0}}}})");
  PadConfig config = {PadConfigWord0::From(0), PadConfigWord1::From(0xABCDEF00)};
  ASSERT_EQ(ReadPadConfig(kPad, &config), EFI_SUCCESS);
  EXPECT_EQ(config.Word0.Raw(), 0x42242A51u);
  EXPECT_EQ(config.Word1.Raw(), 0xABCDEF09u); // bits 31:5 are the caller's
}

TEST(ReadPadConfig, ReturnsWhatWritingBackReproduces) {
  PlatformBoard b(R"({"pch": {"pads": {"0x01030008": {"dw0": "0x92880D01", "dw1": "0x0200280E",
      "hostsw_own": 1, "gpe_en": 1, "tx_locked": true}}}})");
  PadConfig config{};
  ASSERT_EQ(ReadPadConfig(kPad, &config), EFI_SUCCESS);
  EXPECT_EQ(config.Word1.Lock(), kPadLockRequested | kPadLockOutput);
  const auto before = b.Pad(3, 8);
  ASSERT_EQ(WritePadConfig(kPad, &config), EFI_SUCCESS); // asks the output lock again
  EXPECT_EQ(b.Pad(3, 8), before);
  ASSERT_EQ(b.Platform().p2sb.Messages().size(), 1u);
  EXPECT_EQ(b.Platform().p2sb.Messages()[0].request.offset, 0x6Cu);
}

TEST(PadChecks, ChipsetGroupAndPadNumber) {
  PlatformBoard b;
  UINT32 value = 0;
  PadConfig config{};
  EXPECT_EQ(ReadPadInput(0x02030008, &value), EFI_UNSUPPORTED);
  EXPECT_EQ(ReadPadConfig(0x02030008, &config), EFI_UNSUPPORTED);
  EXPECT_EQ(WritePadConfig(0x02030008, &config), EFI_UNSUPPORTED);
  EXPECT_EQ(ReadPadInput(0x010D0000, &value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(ReadPadConfig(0x010D0000, &config), EFI_UNSUPPORTED);
  EXPECT_EQ(ReadPadInput(0x01000018, &value), EFI_INVALID_PARAMETER); // group 0 has pads 0-23
  EXPECT_EQ(ReadPadOwnership(0x01000018, &value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(WritePadConfig(0x01000018, &config), EFI_UNSUPPORTED);
  EXPECT_EQ(LockPadViaSideband(kGroupPadCfgLock, 0x01000018), EFI_INVALID_PARAMETER);
  EXPECT_EQ(ReadPadInput(0x0104000C, &value), EFI_SUCCESS); // group 4's last pad
  EXPECT_EQ(ReadPadInput(0x0104000D, &value), EFI_INVALID_PARAMETER);
  EXPECT_EQ(ReadPadConfig(0x0104000D, &config), EFI_UNSUPPORTED);
  EXPECT_EQ(b.board.machine.bus.Counts().mmio.writes, 0u); // nothing refused wrote anything
}

TEST(PadChecks, EveryPadOperationFailsOnAnotherPch) {
  PlatformBoard b(R"({"pch": {"device_id": "0x9D40"}})");
  UINT32 value = 0;
  PadConfig config{};
  EXPECT_EQ(ReadPadInput(kPad, &value), EFI_UNSUPPORTED);
  EXPECT_EQ(ReadPadConfig(kPad, &config), EFI_UNSUPPORTED);
  EXPECT_EQ(ReadPadInput(0x02030008, &value), EFI_INVALID_PARAMETER); // mobile, but no table
  EXPECT_EQ(b.GpioAccesses(), 0u);
}

// The lock state comes from the pad's bit in its group's PADCFGLOCK; a pad the table does not
// have counts as locked, so that nothing is written to it.
TEST(IsPadConfigLocked, ThePadsOwnBitAndNoPadOutsideTheTable) {
  {
    PlatformBoard b(R"({"pch": {"pads": {"0x01040005": {"locked": true},
                                        "0x01040006": {"tx_locked": true}}}})");
    EXPECT_TRUE(IsPadConfigLocked(4, 5));
    EXPECT_FALSE(IsPadConfigLocked(4, 6)); // the output lock is another register
    EXPECT_FALSE(IsPadConfigLocked(4, 12));
    EXPECT_TRUE(IsPadConfigLocked(4, 13)); // group 4 has pads 0-12
    EXPECT_TRUE(IsPadConfigLocked(13, 0));
  }
  PlatformBoard mobile(R"({"pch": {"device_id": "0x9D40"}})");
  EXPECT_TRUE(IsPadConfigLocked(4, 6)); // no table on another PCH
  EXPECT_EQ(mobile.GpioAccesses(), 0u);
}

TEST(ReadPadOwnership, FourBitsPerPadEightPadsPerRegister) {
  PlatformBoard b(R"({"pch": {"pads": {"0x0103000A": {"owner": 2}, "0x0103000B": {"owner": 1},
                                      "0x01030002": {"owner": 3}}}})");
  UINT32 owner = 9;
  ASSERT_EQ(ReadPadOwnership(0x0103000A, &owner), EFI_SUCCESS);
  EXPECT_EQ(owner, 2u);
  ASSERT_EQ(ReadPadOwnership(0x0103000B, &owner), EFI_SUCCESS);
  EXPECT_EQ(owner, 1u);
  ASSERT_EQ(ReadPadOwnership(0x01030002, &owner), EFI_SUCCESS);
  EXPECT_EQ(owner, 3u);
  ASSERT_EQ(ReadPadOwnership(0x01030009, &owner), EFI_SUCCESS);
  EXPECT_EQ(owner, 0u);
  UINT32 input = 0;
  PadConfig config{};
  EXPECT_EQ(ReadPadInput(0x0103000A, &input), EFI_UNSUPPORTED); // not the host's
  EXPECT_EQ(ReadPadConfig(0x0103000A, &config), EFI_UNSUPPORTED);
}

TEST(ReadGroupRegister, GroupsWithoutSmiOrNmiEnables) {
  PlatformBoard b(R"({"pch": {"pads": {"0x01080003": {"hostsw_own": 1}}}})");
  const bool hasSmiNmi[kServerPchGroupCount] = {false, true, true,  true,  true,  false, false,
                                                false, true, false, false, false, false};
  for (UINT32 g = 0; g < kServerPchGroupCount; ++g) {
    UINT32 value = 0;
    for (UINT32 kind : {kGroupGpiSmiEn, kGroupGpiNmiEn}) {
      EXPECT_EQ(ReadGroupRegister(0, kind, g, &value),
                hasSmiNmi[g] ? EFI_SUCCESS : EFI_INVALID_PARAMETER)
          << g << "/" << kind;
    }
    EXPECT_EQ(ReadGroupRegister(1, kGroupHostSwOwn, g, &value), EFI_INVALID_PARAMETER) << g;
  }
  UINT32 value = 0;
  ASSERT_EQ(ReadGroupRegister(0, kGroupHostSwOwn, 8, &value), EFI_SUCCESS);
  EXPECT_EQ(value, 1u << 3);
  EXPECT_EQ(ReadGroupRegister(0, kGroupHostSwOwn, 13, &value), EFI_INVALID_PARAMETER);
}

// The lock message carries the lock register's current value with the pad's bit added, and goes
// to the group's port at the register's offset; the bridge is revealed for it and hidden after.
TEST(LockPadViaSideband, SendsTheCurrentLocksWithThePadsBit) {
  PlatformBoard b(R"({"pch": {"pads": {"0x01010000": {"locked": true},
                                      "0x01010009": {"locked": true}}}})");
  ASSERT_EQ(LockPadViaSideband(kGroupPadCfgLock, 0x01010005), EFI_SUCCESS);
  const auto &messages = b.Platform().p2sb.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].request.port, 0xAF);
  EXPECT_EQ(messages[0].request.offset, 0x68u);
  EXPECT_EQ(messages[0].request.data, 0x221u);
  EXPECT_EQ(messages[0].request.opcode, 0x13);
  EXPECT_EQ(messages[0].request.byte_enables, 0xF);
  EXPECT_TRUE(b.Pad(1, 5).locked);
  EXPECT_EQ(b.Platform().p2sb.HideWrites(), (std::vector<uint8_t>{0, 1}));
  EXPECT_TRUE(b.Platform().p2sb.Hidden());
  ASSERT_EQ(LockPadViaSideband(kGroupPadCfgLockTx, 0x01010005), EFI_SUCCESS);
  EXPECT_EQ(messages.back().request.offset, 0x6Cu);
  EXPECT_EQ(messages.back().request.data, 0x20u);
  EXPECT_TRUE(b.Pad(1, 5).tx_locked);
}

TEST(WritePadConfig, RequestedLocksFollowTheConfiguration) {
  PlatformBoard b;
  PadConfig config{};
  config.Word0.SetMode(PadField(1));
  config.Word1.SetLock(kPadLockRequested | kPadLockConfig | kPadLockOutput);
  ASSERT_EQ(WritePadConfig(kPad, &config), EFI_SUCCESS);
  const auto pad = b.Pad(3, 8);
  EXPECT_EQ((pad.dw0 >> 10) & 7, 1u); // programmed before the locks
  EXPECT_TRUE(pad.locked && pad.tx_locked);
  EXPECT_EQ(WritePadConfig(kPad, &config), EFI_WRITE_PROTECTED);
}

// Every way a message can end leaves a bridge that was hidden hidden again.
TEST(SendSidebandMessage, HiddenBridgeIsHiddenAgainOnEveryPath) {
  const UINT32 data = 1;
  {
    PlatformBoard b(R"({"pch": {"sideband": {"status": 2}}})");
    UINT8 response = 0;
    EXPECT_EQ(SendSidebandMessage(0xAF, 0x68, &data, &response), EFI_DEVICE_ERROR);
    EXPECT_EQ(response, 2);
    EXPECT_TRUE(b.Platform().p2sb.Hidden());
    EXPECT_FALSE(b.Pad(1, 0).locked);
  }
  {
    PlatformBoard b(R"({"pch": {"sideband": {"stuck": true}}})");
    UINT8 response = 0;
    // Times out after the message started: the response byte keeps "no answer".
    EXPECT_EQ(SendSidebandMessage(0xAF, 0x68, &data, &response), EFI_DEVICE_ERROR);
    EXPECT_EQ(response, 4);
    EXPECT_TRUE(b.Platform().p2sb.Hidden());
    // Still busy: the next one times out before it starts and leaves the response alone.
    response = 0x55;
    EXPECT_EQ(SendSidebandMessage(0xAF, 0x6C, &data, &response), EFI_DEVICE_ERROR);
    EXPECT_EQ(response, 0x55);
    EXPECT_TRUE(b.Platform().p2sb.Hidden());
    EXPECT_EQ(b.Platform().p2sb.HideWrites(), (std::vector<uint8_t>{0, 1, 0, 1}));
    EXPECT_EQ(b.Platform().p2sb.Messages().size(), 0u);
  }
  {
    PlatformBoard b(R"({"pch": {"p2sb_hidden": false}})");
    UINT8 response = 9;
    EXPECT_EQ(SendSidebandMessage(0xAF, 0x68, &data, &response), EFI_SUCCESS);
    EXPECT_EQ(response, 0);
    EXPECT_TRUE(b.Platform().p2sb.HideWrites().empty()); // a visible bridge is left alone
    EXPECT_TRUE(b.Pad(1, 0).locked);
  }
}

} // namespace
