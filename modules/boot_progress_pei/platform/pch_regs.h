// PCH registers the platform library uses. Configuration space of bus 0, device 31 holds the
// LPC/eSPI bridge (function 0, whose device ID names the PCH) and the primary-to-sideband bridge
// (function 1, whose sideband interface registers send messages to the PCH's sideband ports).
// Every sideband port's registers also appear in the private configuration space, a memory
// window at 0xFD000000 with 64 KiB per port ID.
#pragma once

#include "access/register.h"
#include "uefi/uefi_base.h"

constexpr UINT8 kPchBus = 0;
constexpr UINT8 kPchDevice = 31;
constexpr UINT8 kPchLpcFunction = 0;
constexpr UINT8 kPchSidebandBridgeFunction = 1;

constexpr UINT16 kPciVendorIdOffset = 0x00;
constexpr UINT16 kPciDeviceIdOffset = 0x02;
constexpr UINT16 kPciVendorIdNone = 0xFFFF; // a hidden function reads all ones

// Private configuration space: port ID in bits 23:16, register offset in bits 15:0.
constexpr UINT32 kPchPcrBase = 0xFD000000;
constexpr UINT32 kPchPcrPortShift = 16;
constexpr UINT32 kPchPcrOffsetMask = 0xFFFF;

constexpr UINT32 PchPcrAddress(UINT32 portId, UINT32 offset) {
  return kPchPcrBase + (portId << kPchPcrPortShift) + (offset & kPchPcrOffsetMask);
}

// Sideband interface of the primary-to-sideband bridge (its configuration space).
constexpr UINT16 kSbiAddressOffset = 0xD0;         // 32-bit: port ID and register offset
constexpr UINT16 kSbiDataOffset = 0xD4;            // 32-bit: the data word
constexpr UINT16 kSbiStatusOffset = 0xD8;          // 16-bit: opcode, posted, response, busy
constexpr UINT16 kSbiRoutingOffset = 0xDA;         // 16-bit: byte enables, BAR, function
constexpr UINT16 kSbiExtendedAddressOffset = 0xDC; // 32-bit: register offset bits 47:16
constexpr UINT16 kSidebandBridgeHideOffset = 0xE1; // byte: hides the bridge from enumeration
constexpr UINT8 kSidebandBridgeRevealed = 0x00;
constexpr UINT8 kSidebandBridgeHidden = 0x01;

struct SbiAddress : RegisterValue<SbiAddress, UINT32> {
  REG_FIELD(31, 24, PortId);
  REG_FIELD(23, 16, Reserved); // 0
  REG_FIELD(15, 0, Offset);
};

struct SbiStatus : RegisterValue<SbiStatus, UINT16> {
  REG_FIELD(15, 8, Opcode);
  REG_FIELD(7, 7, Posted);
  REG_FIELD(2, 1, Response); // 0: the port accepted the message
  REG_FIELD(0, 0, Busy);     // set by software to start, cleared by the bridge when done
  static constexpr Word kOpcodeGpioLock = 0x13;
};

struct SbiRouting : RegisterValue<SbiRouting, UINT16> {
  REG_FIELD(15, 12, ByteEnables);
  REG_FIELD(10, 8, Bar);
  REG_FIELD(7, 0, FunctionId);
  static constexpr Word kAllBytes = 0xF;
};
