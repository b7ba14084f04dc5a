// Ports and register indices of the simulated VGA controller, shared by the controller model and
// the display engine that scans out what it is programmed with.
#pragma once

#include <cstdint>

namespace sim::vga {

// Legacy I/O ports.
inline constexpr uint16_t kAttributePort = 0x3C0;     // index and data written alternately
inline constexpr uint16_t kAttributeDataRead = 0x3C1; // the indexed attribute register
inline constexpr uint16_t kMiscOutputWrite = 0x3C2;   // reads give input status 0
inline constexpr uint16_t kEnablePort = 0x3C3;        // bit 0: decode the other VGA ports
inline constexpr uint16_t kSequencerIndex = 0x3C4;
inline constexpr uint16_t kSequencerData = 0x3C5;
inline constexpr uint16_t kDacFirstPort = 0x3C6; // pixel mask, read index, write index, data
inline constexpr uint16_t kFeatureControlRead = 0x3CA;
inline constexpr uint16_t kExtendedPortCB = 0x3CB;
inline constexpr uint16_t kMiscOutputRead = 0x3CC;
inline constexpr uint16_t kExtendedPortCD = 0x3CD;
inline constexpr uint16_t kGraphicsIndex = 0x3CE;
inline constexpr uint16_t kGraphicsData = 0x3CF;
// CRTC index/data and input status 1 (feature control on write): 0x3Dx in colour mode
// (miscellaneous output bit 0 set), 0x3Bx in monochrome mode.
inline constexpr uint16_t kCrtcIndexColour = 0x3D4;
inline constexpr uint16_t kInputStatus1Colour = 0x3DA;
inline constexpr uint16_t kCrtcIndexMono = 0x3B4;
inline constexpr uint16_t kInputStatus1Mono = 0x3BA;

inline constexpr uint8_t kEnableDecode = 0x01; // port 0x3C3
inline constexpr uint8_t kMiscColourIo = 0x01; // miscellaneous output
inline constexpr uint8_t kAttrPaletteSource =
    0x20; // attribute index: the display reads the palette
inline constexpr uint8_t kAttrIndexBits = 0x1F;

// Sequencer.
inline constexpr uint8_t kSeqReset = 0x00; // bits 1:0 both set: the sequencer runs
inline constexpr uint8_t kSeqRunning = 0x03;
inline constexpr uint8_t kSeqClockingMode = 0x01;
inline constexpr uint8_t kSeqScreenOff = 0x20;

// Standard CRTC.
inline constexpr uint8_t kCrtcHTotal = 0x00;
inline constexpr uint8_t kCrtcHDisplayEnd = 0x01;
inline constexpr uint8_t kCrtcHBlankStart = 0x02;
inline constexpr uint8_t kCrtcHBlankEnd = 0x03;
inline constexpr uint8_t kCrtcHRetraceStart = 0x04;
inline constexpr uint8_t kCrtcHRetraceEnd = 0x05;
inline constexpr uint8_t kCrtcVTotal = 0x06;
inline constexpr uint8_t kCrtcOverflow = 0x07;
inline constexpr uint8_t kCrtcMaxScanLine = 0x09;
inline constexpr uint8_t kCrtcStartHigh = 0x0C;
inline constexpr uint8_t kCrtcStartLow = 0x0D;
inline constexpr uint8_t kCrtcVRetraceStart = 0x10;
inline constexpr uint8_t kCrtcVRetraceEnd = 0x11;
inline constexpr uint8_t kCrtcVDisplayEnd = 0x12;
inline constexpr uint8_t kCrtcOffset = 0x13;
inline constexpr uint8_t kCrtcLastStandard = 0x18;
inline constexpr uint8_t kCrtcProtect = 0x80; // CRTC 0x11 bit 7: 0x00-0x07 write-protected
inline constexpr uint8_t kCrtcOverflowLineCompare = 0x10; // CRTC 0x07 bit 4 stays writable
inline constexpr uint8_t kCrtcDoubleScan = 0x80;          // CRTC 0x09 bit 7
inline constexpr uint8_t kCrtcScanLinesPerRow = 0x1F;     // CRTC 0x09 bits 4:0, less one

// Extended CRTC.
inline constexpr uint8_t kCrtcExtUnlock = 0x80;
inline constexpr uint8_t kCrtcExtUnlockKey = 0xA8;
inline constexpr uint8_t kCrtcExtFirstLocked = 0x81;
inline constexpr uint8_t kCrtcExtModeControl = 0xA0; // bits 6:4: packed-pixel depth on
inline constexpr uint8_t kCrtcExtPackedMode = 0x70;
inline constexpr uint8_t kCrtcExtColourDepth = 0xA3; // 0x01: 8, 0x04: 16, 0x08: 32 bits per pixel
inline constexpr uint8_t kCrtcExtHOverflow = 0xAC;
inline constexpr uint8_t kCrtcExtHEndOverflow = 0xAD;
inline constexpr uint8_t kCrtcExtVOverflow = 0xAE;
inline constexpr uint8_t kCrtcExtOffsetHigh = 0xB0; // bits 5:0: offset bits 13:8
inline constexpr uint8_t kCrtcExtClockControl = 0xBB;
inline constexpr uint8_t kCrtcExtPixelClock0 = 0xC0;
inline constexpr uint8_t kCrtcExtPixelClock1 = 0xC1;
inline constexpr uint8_t kCrtcExtChipStatus = 0xD0; // read-only: bits 7:6 from the chip

// Graphics controller.
inline constexpr uint8_t kGcLast = 0x08;
// Attribute controller.
inline constexpr uint8_t kAttrLastPalette = 0x0F;
inline constexpr uint8_t kAttrLast = 0x14;

} // namespace sim::vga
