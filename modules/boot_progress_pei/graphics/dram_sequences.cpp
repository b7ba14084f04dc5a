#include "modules/boot_progress_pei/graphics/dram_sequences.h"

#include "modules/boot_progress_pei/graphics/chip_regs.h"
#include "modules/boot_progress_pei/graphics/chip_window.h"
#include "modules/boot_progress_pei/graphics/dram_cache.h"
#include "modules/boot_progress_pei/graphics/dram_parameters.h"
#include "modules/boot_progress_pei/graphics/dram_phy.h"
#include "modules/boot_progress_pei/graphics/dram_size.h"
#include "modules/boot_progress_pei/graphics/dram_training.h"
#include "modules/boot_progress_pei/platform/boot_phase.h"

namespace {
constexpr ChipWrite kCommonSequence[] = {
    {MCR34, kMcr34Reset}, {MCR08, 0x2003000F},  {MCR38, 0x00000FFF},  {MCR40, 0x88448844},
    {MCR44, 0x24422288},  {MCR48, 0x22222222},  {MCR4C, 0x22222222},  {MCR50, 0x80000000},
    {MCR208, 0},          {MCR218, 0},          {MCR220, 0},          {MCR228, 0},
    {MCR230, 0},          {MCR2A8, 0},          {MCR2B0, 0},          {MCR240, 0x86000000},
    {MCR244, 0x00008600}, {MCR248, 0x80000000}, {MCR24C, 0x80808080},
};

// What differs between the two DRAM types up to the start of the DRAM initialisation.
struct DdrType {
  uint32_t Mcr04;
  uint32_t Mcr200;
  uint32_t Mcr204;
  const ChipWrite *BeforeStart; // written after MCR290, before MCR34
  size_t BeforeStartCount;
  uint32_t Mcr34; // starts the DRAM initialisation
  const DramParameters *Parameters;
};

constexpr ChipWrite kDdr3BeforeStart[] = {{MCR2C0, 0x00000006}};
constexpr ChipWrite kDdr4BeforeStart[] = {{MCR2C4, 0x3C183C3C}, {MCR2C8, 0x00631E0E}};

constexpr DdrType kDdr3 = {
    .Mcr04 = 0x00000303,
    .Mcr200 = 0x02492AAE,
    .Mcr204 = 0x00001001,
    .BeforeStart = kDdr3BeforeStart,
    .BeforeStartCount = sizeof(kDdr3BeforeStart) / sizeof(ChipWrite),
    .Mcr34 = kMcr34Ddr3Start,
    .Parameters = &Ddr3Parameters,
};
constexpr DdrType kDdr4 = {
    .Mcr04 = 0x00000313,
    .Mcr200 = 0x42492AAE,
    .Mcr204 = 0x09002800,
    .BeforeStart = kDdr4BeforeStart,
    .BeforeStartCount = sizeof(kDdr4BeforeStart) / sizeof(ChipWrite),
    .Mcr34 = kMcr34Ddr4Start,
    .Parameters = &Ddr4Parameters,
};

constexpr uint32_t kPhyRegisters[] = {MCR2E0, MCR2E4, MCR2E8, MCR2EC, MCR2F0, MCR2F4, MCR2F8};

// From MCR04 to MCR34: timings, mode registers and PHY parameters of the DRAM type.
void ProgramDdrType(uint32_t mmio, const DdrType &type) {
  const DramParameters &p = *type.Parameters;
  AstWrite32(MCR04, mmio, type.Mcr04);
  AstWrite32(MCR10, mmio, p.Mcr10);
  AstWrite32(MCR14, mmio, p.Mcr14);
  AstWrite32(MCR18, mmio, p.Mcr18);
  AstWrite32(MCR20, mmio, p.Mcr20);
  AstWrite32(MCR24, mmio, p.Mcr24);
  AstWrite32(MCR2C, mmio, p.Mcr2c | kMcr2cForcedBits);
  AstWrite32(MCR30, mmio, p.Mcr30);
  AstWrite32(MCR200, mmio, type.Mcr200);
  AstWrite32(MCR204, mmio, type.Mcr204);
  AstWrite32(MCR20C, mmio, 0x55E00B0B);
  AstWrite32(MCR210, mmio, 0x20000000);
  AstWrite32(MCR214, mmio, p.Mcr214);
  for (uint32_t i = 0; i < sizeof(kPhyRegisters) / sizeof(kPhyRegisters[0]); ++i) {
    AstWrite32(kPhyRegisters[i], mmio, p.Phy[i]);
  }
  AstWrite32(MCR290, mmio, 0x00100008);
  AstWriteSequence(mmio, type.BeforeStart, type.BeforeStartCount);
  AstWrite32(MCR34, mmio, type.Mcr34);
}

// After the PHY: start the controller, size the memory, enable the cache.
EFI_STATUS FinishDdr(const GraphicsDeviceState *state, const DramParameters &p) {
  const uint32_t mmio = state->MmioBase;
  AstWrite32(MCR120, mmio, p.Mcr120);
  AstWrite32(MCR0C, mmio, kMcr0cRunning);
  AstWrite32(MCR34, mmio, kMcr34Running);
  DetectDramSize(state, p.SizeBytes);
  const EFI_STATUS cache = EnableDramCache(state);
  if (cache != EFI_SUCCESS) {
    return cache;
  }
  AstWrite32(MCR1C, mmio, 0x00000008);
  AstWrite32(MCR38, mmio, 0xFFFFFF00);
  return EFI_SUCCESS;
}
} // namespace

void InitDramCommon(const GraphicsDeviceState *state) {
  AstWriteSequence(state->MmioBase, kCommonSequence);
}

BOOT_PHASE EFI_STATUS InitDdr3(const GraphicsDeviceState *state,
                               const EFI_PEI_SERVICES **peiServices) {
  ProgramDdrType(state->MmioBase, kDdr3);
  const EFI_STATUS phy = InitDramPhy(state, peiServices);
  if (phy != EFI_SUCCESS) {
    return phy;
  }
  return FinishDdr(state, *kDdr3.Parameters);
}

BOOT_PHASE EFI_STATUS InitDdr4(const GraphicsDeviceState *state,
                               const EFI_PEI_SERVICES **peiServices) {
  ProgramDdrType(state->MmioBase, kDdr4);
  EFI_STATUS status = SearchBestMarginSetting(state, peiServices);
  if (status == EFI_SUCCESS) {
    status = SearchPassingRangeMiddle(state, peiServices); // ends with the PHY initialisation
  }
  if (status != EFI_SUCCESS) {
    return status;
  }
  return FinishDdr(state, *kDdr4.Parameters);
}
