#include "modules/boot_progress_pei/graphics/dram_parameters.h"

const DramParameters Ddr3Parameters = {
    .Mcr10 = 0x64604D38,
    .Mcr14 = 0x29690599,
    .Mcr18 = 0x00000300,
    .Mcr20 = 0x00000000,
    .Mcr24 = 0x00000000,
    .Mcr2c = 0x02181E70,
    .Mcr30 = 0x00000040,
    .Mcr214 = 0x00000024,
    .Phy = {0x02001300, 0x0E0000A0, 0x000E001B, 0x35B8C105, 0x08090408, 0x9B000800, 0x0E400A00},
    .SizeBytes = 0x9971452F, // 0x2F, 0x45, 0x71, 0x99 for 128 MiB to 1 GiB
    .Mcr120 = 0x000071C1,
};

const DramParameters Ddr4Parameters = {
    .Mcr10 = 0x63604E37,
    .Mcr14 = 0xE97AFA99,
    .Mcr18 = 0x00019000,
    .Mcr20 = 0x08000000,
    .Mcr24 = 0x00000400,
    .Mcr2c = 0x00000410,
    .Mcr30 = 0x00000101,
    .Mcr214 = 0x00000024,
    .Phy = {0x03002900, 0x0E0000A0, 0x000E001C, 0x35B8C106, 0x08080607, 0x9B000900, 0x0E400A00},
    .SizeBytes = 0x99714545, // 0x45, 0x45, 0x71, 0x99 for 128 MiB to 1 GiB
    .Mcr120 = 0x000071C1,
};
