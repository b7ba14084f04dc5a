// x86 I/O port access. Firmware images link the instruction backend (access/x86), host builds
// link the board simulator's backend (sim/access); module code sees only these declarations.
#pragma once

#include <stdint.h>

uint8_t IoRead8(uint16_t port);
uint16_t IoRead16(uint16_t port);
uint32_t IoRead32(uint16_t port);
void IoWrite8(uint16_t port, uint8_t value);
void IoWrite16(uint16_t port, uint16_t value);
void IoWrite32(uint16_t port, uint32_t value);
