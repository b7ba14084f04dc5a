// A register described by where it lives rather than by its address, and its resolution into the
// memory address at which the register is read and written as plain memory. Configuration space
// of a PCI segment is found through the platform's segment table (PCD token 6), the module's
// default table, or the platform's PCI Express base (PCD token 5).
#pragma once

#include "access/pci_config.h"
#include "access/register.h"
#include "uefi/uefi_base.h"

struct RegisterAddress {
  UINT32 Offset;    // PCI Express: the ECAM offset; bits 31:28 take no part in the address
  UINT32 Location;  // bits 15:0: the PCI segment
  UINT32 Attribute; // bits 7:0: the address type; bits 11:8: the access width code
  UINT32 Host;      // 0
};
static_assert(sizeof(RegisterAddress) == 16);

// Offset: bus 27:20, device 19:15, function 14:12, register 11:0.
using RegisterEcamOffsetField = BitField<UINT32, 27, 0>;
using RegisterSegmentField = BitField<UINT32, 15, 0>;
using RegisterAddressTypeField = BitField<UINT32, 7, 0>;
using RegisterAccessWidthField = BitField<UINT32, 11, 8>;

constexpr UINT32 kAddressTypePciExpress = 0; // configuration space through ECAM
constexpr UINT32 kAccessWidth32 = 2;

// A 32-bit configuration register of bus/device/function on PCI segment `segment`.
constexpr RegisterAddress PciExpressRegister(UINT16 segment, UINT8 bus, UINT8 device,
                                             UINT8 function, UINT16 reg) {
  return {static_cast<UINT32>(PciEcamAddress(0, bus, device, function, reg)),
          RegisterSegmentField::Put(0, segment),
          RegisterAccessWidthField::Put(RegisterAddressTypeField::Put(0, kAddressTypePciExpress),
                                        kAccessWidth32),
          0};
}

// Resolves a record of one address type into *address.
using RegisterAddressResolver = void (*)(const RegisterAddress *reg, UINT32 *address);

constexpr UINT32 kRegisterAddressTypeCount = 1;

// Resolvers indexed by address type.
extern const RegisterAddressResolver RegisterAddressResolvers[kRegisterAddressTypeCount];

// The memory address of the register; 0 for a null record or an address type without a resolver.
UINT32 GetRegisterAddress(const RegisterAddress *reg);

// The ECAM base of the record's PCI segment: its entry in the platform's segment table when that
// table's length is not 0, else its entry in DefaultSegmentTable; when the entry's base is 0 (or
// the table has no entry for the segment), the low 32 bits of the PCI Express base PCD.
UINT32 ResolveSegmentBase(const RegisterAddress *reg);
