// The bring-up record of the BMC display controller. The screen callback that brings the
// controller up owns it on its stack; it lives for one EnableGraphicsController call.
#pragma once

#include <stdint.h>

struct GraphicsDeviceState {
  uint8_t Bus;              // bus of the VGA function (2)
  uint8_t Device;           // device of the VGA function (0)
  uint8_t Function;         // function of the VGA function (0)
  uint8_t Revision;         // configuration byte 0x08 of the VGA function
  uint32_t FrameBufferBase; // BAR0, flag bits 3:0 cleared
  uint32_t MmioBase;        // BAR1, flag bits 3:0 cleared: the chip register window
  uint32_t NextMmio;        // memory allocation cursor
  uint32_t NextIo;          // I/O allocation cursor
  // What the chip start-up's waits have spent of their common budget (chip_stall.h). The waits
  // are reached through const pointers to the record: only this count changes on the way.
  mutable uint32_t ChipWaitSpent;
};
