// Register address resolution: a RegisterAddress record in, the memory address at which the
// register is read and written as plain memory out. Configuration space of a PCI segment is found
// through the platform's segment table (PCD token 6), the module's default table, or the
// platform's PCI Express base (PCD token 5).
#pragma once

#include "include/register_address.h"

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
