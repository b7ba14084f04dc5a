// Register values of the two DRAM types, seventeen 32-bit words each, in the order of use.
#pragma once

#include <stdint.h>

struct DramParameters {
  uint32_t Mcr10;
  uint32_t Mcr14;
  uint32_t Mcr18;
  uint32_t Mcr20;
  uint32_t Mcr24;
  uint32_t Mcr2c; // written with kMcr2cForcedBits set
  uint32_t Mcr30;
  uint32_t Mcr214;
  uint32_t Phy[7];    // MCR2E0, MCR2E4, MCR2E8, MCR2EC, MCR2F0, MCR2F4, MCR2F8
  uint32_t SizeBytes; // MCR14 bits 7:0 by size code: byte n for code n
  uint32_t Mcr120;
};
static_assert(sizeof(DramParameters) == 17 * sizeof(uint32_t), "seventeen words, no padding");

extern const DramParameters Ddr3Parameters;
extern const DramParameters Ddr4Parameters;
