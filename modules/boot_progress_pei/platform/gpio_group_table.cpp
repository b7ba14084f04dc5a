// The server PCH's pad groups.
#include "modules/boot_progress_pei/platform/gpio.h"
#include "modules/boot_progress_pei/platform/gpio_regs.h"
#include "modules/boot_progress_pei/platform/pch_family.h"

namespace {
// The interrupt and status registers no operation here uses are not recorded.
constexpr UINT32 kNotRecorded = kNoRegister;

constexpr GpioGroupRow Group(UINT32 portId, UINT32 padOwn, UINT32 hostSwOwn, UINT32 gpeEn,
                             UINT32 smiEn, UINT32 nmiEn, UINT32 lock, UINT32 lockTx, UINT32 padCfg,
                             UINT32 padCount) {
  return {portId,       padOwn, hostSwOwn,    kNotRecorded, kNotRecorded,
          kNotRecorded, gpeEn,  kNotRecorded, smiEn,        kNotRecorded,
          nmiEn,        lock,   lockTx,       padCfg,       padCount};
}

constexpr UINT32 kNone = kNoRegister;
} // namespace

const GpioGroupRow GpioGroupTable[kServerPchGroupCount] = {
    //    port  PAD_OWN HOSTSW GPE_EN SMI_EN NMI_EN  LOCK  LOCKTX PAD_CFG pads
    Group(0xAF, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24), // 0
    Group(0xAF, 0x2C, 0x84, 0x134, 0x154, 0x174, 0x68, 0x6C, 0x4C0, 24), // 1
    Group(0xAE, 0x20, 0x80, 0x130, 0x150, 0x170, 0x60, 0x64, 0x400, 24), // 2
    Group(0xAE, 0x2C, 0x84, 0x134, 0x154, 0x174, 0x68, 0x6C, 0x4C0, 24), // 3
    Group(0xAE, 0x38, 0x88, 0x138, 0x158, 0x178, 0x70, 0x74, 0x580, 13), // 4
    Group(0xAF, 0x38, 0x88, 0x138, kNone, kNone, 0x70, 0x74, 0x580, 24), // 5
    Group(0x11, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24), // 6
    Group(0x11, 0x2C, 0x84, 0x134, kNone, kNone, 0x68, 0x6C, 0x4C0, 24), // 7
    Group(0xAC, 0x20, 0x80, 0x130, 0x150, 0x170, 0x60, 0x64, 0x400, 11), // 8
    Group(0xAB, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24), // 9
    Group(0xAB, 0x2C, 0x84, 0x134, kNone, kNone, 0x68, 0x6C, 0x4C0, 11), // 10
    Group(0x11, 0x38, 0x88, 0x138, kNone, kNone, 0x70, 0x74, 0x580, 20), // 11
    Group(0xAD, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 12), // 12
};

const GpioGroupRow *GetGpioGroupTable(UINT32 *count) {
  if (IsServerPch() != kIsServerPchYes) {
    *count = 0;
    return nullptr;
  }
  *count = kServerPchGroupCount;
  return GpioGroupTable;
}
