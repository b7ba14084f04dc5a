// VGA register access through the colour-mode I/O ports. An index/data pair (sequencer, CRTC,
// graphics controller) is one VgaIndexedPort; writes are plain (index, then value) or masked
// updates (index, read the data port, keep the keep-mask bits, OR in the value, write).
#pragma once

#include <stdint.h>

struct VgaIndexedPort {
  uint16_t IndexPort;
  uint16_t DataPort;
};

inline constexpr VgaIndexedPort kVgaSequencer = {0x3C4, 0x3C5};
inline constexpr VgaIndexedPort kVgaCrtc = {0x3D4, 0x3D5}; // colour mode; extended regs 0x80+
inline constexpr VgaIndexedPort kVgaGraphics = {0x3CE, 0x3CF};

constexpr uint16_t kVgaAttributePort = 0x3C0;   // index and data written alternately
constexpr uint16_t kVgaMiscOutputWrite = 0x3C2; // miscellaneous output, write
constexpr uint16_t kVgaEnablePort = 0x3C3;      // bit 0: VGA decoding on
constexpr uint16_t kVgaDacWriteIndex = 0x3C8;
constexpr uint16_t kVgaDacData = 0x3C9;
constexpr uint16_t kVgaMiscOutputRead = 0x3CC; // miscellaneous output, read
constexpr uint16_t kVgaInputStatus1 = 0x3DA;   // reading resets the attribute flip-flop

// Plain write: index to the index port, value to the data port.
void VgaWrite(VgaIndexedPort port, uint8_t index, uint8_t value);
// Index to the index port, then one read of the data port.
uint8_t VgaRead(VgaIndexedPort port, uint8_t index);
// Masked update: index, read the data port, keep the keepMask bits, OR in value, write. The
// register is read once even when keepMask is 0.
void VgaUpdate(VgaIndexedPort port, uint8_t index, uint8_t keepMask, uint8_t value);
