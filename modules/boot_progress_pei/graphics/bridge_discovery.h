// Finding the display controller behind a PCH root port and giving the path temporary bus
// numbers, BARs and forwarding windows, before any PCI enumeration has run:
//   root bus, device 28, function f (root port) -> bus 1, device 0 (the display bridge)
//   -> bus 2, device 0, function 0 (the VGA function).
#pragma once

#include <stdint.h>

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "uefi/pi_pei.h"

// Temporary bus numbers of the path.
constexpr uint8_t kBridgeBus = 1;
constexpr uint8_t kVgaBus = 2;
constexpr uint8_t kVgaDevice = 0;
constexpr uint8_t kVgaFunction = 0;

// Where the allocation cursors start: the frame buffer's address for memory, and a free I/O
// range below the PCH's fixed ports for I/O.
constexpr uint32_t kMmioCursorStart = 0xA0000000;
constexpr uint32_t kIoCursorStart = 0x6000;
// End of the I/O range the cursor hands out: the top of the 16-bit I/O space the bridges decode.
constexpr uint32_t kIoCursorEnd = 0x10000;
// What BAR1 must hold: the chip's control registers at +0xF000 and its 64 KiB aperture at
// +0x10000.
constexpr uint32_t kRegisterWindowSize = 0x20000;

// Tries the eight functions of root port device 28 on `rootBus` until the display bridge answers
// behind one, then assigns the VGA function's BARs and opens both bridges' windows. EFI_NOT_FOUND
// when no root port function leads to the bridge (every tried function is back at bus numbers
// 0/0/0) or when no function answers behind the bridge; the error of AssignDeviceBars, with both
// bridges' decoding off (their windows closed), when the VGA function's BARs cannot be used.
EFI_STATUS FindGraphicsBridge(GraphicsDeviceState *state, const EFI_PEI_SERVICES **peiServices,
                              uint8_t rootBus);

// Turns the VGA function's decoding off, sizes and assigns its six BARs from the state's cursors,
// each aligned to its size, then turns on its I/O, memory and bus-master enables. The enables stay
// off on an error: EFI_OUT_OF_RESOURCES when a BAR does not fit what is left of the range its
// cursor hands out (memory from kMmioCursorStart to kHostWindowLimit, I/O from kIoCursorStart to
// kIoCursorEnd); EFI_UNSUPPORTED when BAR0 does not end up as a 32-bit memory BAR at the frame
// buffer's address large enough for the screen, or BAR1 as a 32-bit memory BAR large enough for
// the register window. On success the state holds BAR0's and BAR1's assigned addresses.
EFI_STATUS AssignDeviceBars(GraphicsDeviceState *state);

// Opens a bridge's I/O and memory windows over what the cursors have handed out (closed when
// nothing was), turns on its VGA forwarding and its enables.
void ProgramBridgeWindows(uint8_t bus, uint8_t device, uint8_t function,
                          const GraphicsDeviceState *state);

// Size of a BAR from what it reads back after all ones were written: 0 when it reads 0 or all
// ones (no BAR), else the two's complement of the value with its flag bits cleared.
uint32_t BarSize(uint32_t readBack);
// How far a BAR of `size` moves its cursor. A memory BAR below 1 MiB takes a whole 1 MiB, the
// unit of the bridges' memory windows; BAR sizes are powers of two, so larger ones are whole
// units already. I/O likewise in 16-byte units.
uint32_t MemoryCursorStep(uint32_t size);
uint32_t IoCursorStep(uint32_t size);

// Whether a BAR, read back after assignment, and its size make a 32-bit memory BAR of at least
// `needed` bytes.
bool MemoryBarHolds(uint32_t bar, uint32_t size, uint32_t needed);
// Whether BAR0, read back after assignment, and its size make a frame buffer the drawing can use:
// a 32-bit memory BAR at the fixed frame-buffer address holding a whole screen.
bool FrameBufferBarUsable(uint32_t bar0, uint32_t size);

struct BridgeWindows {
  uint8_t IoBase;
  uint8_t IoLimit;
  uint16_t MemoryBase;
  uint16_t MemoryLimit;
};
// A bridge's window registers for the cursors after assignment.
BridgeWindows BridgeWindowsFor(uint32_t nextIo, uint32_t nextMmio);
