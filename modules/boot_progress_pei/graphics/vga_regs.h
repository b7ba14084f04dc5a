// Registers of the display controller's VGA core and of its extended CRTC set (indices 0x80 and
// up, reached through the CRTC index/data pair once unlocked). Standard VGA register layouts
// where the controller follows them; extended registers as the controller defines them.
#pragma once

#include <stdint.h>

#include "access/register.h"

// Port 0x3C3: VGA enable. Bit 0 turns on legacy VGA decoding; it stays set once bring-up has run.
struct VgaEnableRegister : RegisterValue<VgaEnableRegister, uint8_t> {
  REG_FIELD(0, 0, DecodeEnable);
};

// Port 0x3C2 (write) / 0x3CC (read): miscellaneous output.
struct VgaMiscOutputRegister : RegisterValue<VgaMiscOutputRegister, uint8_t> {
  REG_FIELD(7, 7, VSyncNegative);
  REG_FIELD(6, 6, HSyncNegative);
  REG_FIELD(5, 5, OddEvenPageHigh);
  REG_FIELD(3, 2, ClockSelect);
  REG_FIELD(1, 1, RamEnable);
  REG_FIELD(0, 0, ColourIoAddress); // CRTC and input status at 0x3Dx
};

// Sequencer.
constexpr uint8_t kSeqReset = 0x00;
constexpr uint8_t kSeqClockingMode = 0x01;
constexpr uint8_t kSeqFirstLoaded = 0x01; // the mode's table covers 0x01 to 0x04

struct SeqResetRegister : RegisterValue<SeqResetRegister, uint8_t> {
  REG_FIELD(1, 1, SynchronousRun); // 1: out of synchronous reset
  REG_FIELD(0, 0, AsynchronousRun);
};

struct SeqClockingModeRegister : RegisterValue<SeqClockingModeRegister, uint8_t> {
  REG_FIELD(5, 5, ScreenOff);
};

// Standard CRTC registers, 0x00 to 0x18.
constexpr uint8_t kCrtcHorizontalTotal = 0x00;
constexpr uint8_t kCrtcHorizontalDisplayEnd = 0x01;
constexpr uint8_t kCrtcHorizontalBlankStart = 0x02;
constexpr uint8_t kCrtcHorizontalBlankEnd = 0x03;
constexpr uint8_t kCrtcHorizontalRetraceStart = 0x04;
constexpr uint8_t kCrtcHorizontalRetraceEnd = 0x05;
constexpr uint8_t kCrtcVerticalTotal = 0x06;
constexpr uint8_t kCrtcOverflow = 0x07;
constexpr uint8_t kCrtcMaximumScanLine = 0x09;
constexpr uint8_t kCrtcVerticalRetraceStart = 0x10;
constexpr uint8_t kCrtcVerticalRetraceEnd = 0x11;
constexpr uint8_t kCrtcVerticalDisplayEnd = 0x12;
constexpr uint8_t kCrtcOffset = 0x13;
constexpr uint8_t kCrtcVerticalBlankStart = 0x15;
constexpr uint8_t kCrtcVerticalBlankEnd = 0x16;

struct CrtcHorizontalBlankEndRegister : RegisterValue<CrtcHorizontalBlankEndRegister, uint8_t> {
  REG_FIELD(4, 0, EndLow); // blank end bits 4:0
};

struct CrtcHorizontalRetraceEndRegister : RegisterValue<CrtcHorizontalRetraceEndRegister, uint8_t> {
  REG_FIELD(7, 7, BlankEndBit5);
  REG_FIELD(6, 5, Skew);
  REG_FIELD(4, 0, EndLow); // retrace end bits 4:0
};

struct CrtcMaximumScanLineRegister : RegisterValue<CrtcMaximumScanLineRegister, uint8_t> {
  REG_FIELD(5, 5, VerticalBlankStartBit9);
};

struct CrtcVerticalRetraceEndRegister : RegisterValue<CrtcVerticalRetraceEndRegister, uint8_t> {
  REG_FIELD(7, 7, Protect); // write-protects CRTC 0x00 to 0x07
  REG_FIELD(6, 4, Interrupt);
  REG_FIELD(3, 0, EndLow); // retrace end bits 3:0
};

// Attribute controller, through port 0x3C0.
constexpr uint8_t kAttrColourSelect = 0x14;
struct AttrAddressRegister : RegisterValue<AttrAddressRegister, uint8_t> {
  REG_FIELD(5, 5, PaletteAddressSource); // 1: the display reads the palette, the CPU does not
};

// Extended CRTC registers.
constexpr uint8_t kCrtcExtUnlock = 0x80;
constexpr uint8_t kCrtcExtUnlockKey = 0xA8;
// Scratch registers 0x81 to 0x9D: cleared at bring-up; 0x8C to 0x8E carry the mode set.
constexpr uint8_t kCrtcExtScratchFirst = 0x81;
constexpr uint8_t kCrtcExtScratchLast = 0x9D;
constexpr uint8_t kCrtcExtModeDepthCode = 0x8C;
constexpr uint8_t kCrtcExtModeRefreshCode = 0x8D;
constexpr uint8_t kCrtcExtModeCode = 0x8E;
struct CrtcExtModeDepthCodeRegister : RegisterValue<CrtcExtModeDepthCodeRegister, uint8_t> {
  REG_FIELD(7, 4, Depth);
};

constexpr uint8_t kCrtcExtModeControl = 0xA0;
struct CrtcExtModeControlRegister : RegisterValue<CrtcExtModeControlRegister, uint8_t> {
  REG_FIELD(6, 4, Depth);
};
constexpr uint8_t kCrtcExtColourDepth = 0xA3;
constexpr uint8_t kCrtcExtControlA5 = 0xA5;        // cleared at every mode set
constexpr uint8_t kCrtcExtFifoThresholdLow = 0xA6; // display FIFO thresholds, by revision
constexpr uint8_t kCrtcExtFifoThresholdHigh = 0xA7;
constexpr uint8_t kCrtcExtControlA8 = 0xA8;
struct CrtcExtControlA8Register : RegisterValue<CrtcExtControlA8Register, uint8_t> {
  REG_FIELD(1, 1, Control1); // cleared at every mode set
};

// Timing bits that do not fit the standard registers.
constexpr uint8_t kCrtcExtHorizontalOverflow = 0xAC;
constexpr uint8_t kCrtcExtHorizontalEndOverflow = 0xAD;
constexpr uint8_t kCrtcExtVerticalOverflow = 0xAE;
struct CrtcExtVerticalOverflowRegister : RegisterValue<CrtcExtVerticalOverflowRegister, uint8_t> {
  REG_FIELD(7, 7, Enable); // set whenever the timing is loaded
};

constexpr uint8_t kCrtcExtOffsetHigh = 0xB0;
struct CrtcExtOffsetHighRegister : RegisterValue<CrtcExtOffsetHighRegister, uint8_t> {
  REG_FIELD(5, 0, OffsetHigh); // scan-line offset bits 13:8
};

// Pixel clock: two setting bytes and a control register whose low four bits are not the clock's.
constexpr uint8_t kCrtcExtPixelClock0 = 0xC0;
constexpr uint8_t kCrtcExtPixelClock1 = 0xC1;
constexpr uint8_t kCrtcExtClockControl = 0xBB;
struct CrtcExtClockControlRegister : RegisterValue<CrtcExtClockControlRegister, uint8_t> {
  REG_FIELD(7, 4, Clock);      // the clock's bits, as a whole
  REG_FIELD(7, 6, ClockRange); // layout of revisions other than 0x40
  REG_FIELD(5, 4, ClockSelect);
};

// The controller's extended I/O ports, cleared at every mode set.
constexpr uint16_t kVgaExtendedPortCB = 0x3CB;
constexpr uint16_t kVgaExtendedPortCD = 0x3CD;
