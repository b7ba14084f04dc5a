// The PCI segment table: where each PCI segment's ECAM window starts. A platform may publish one
// through the PCD PPI; the module carries a default for platforms that do not. A 16-byte header
// (signature "MCFG", the 32-bit length of the whole table in bytes, 8 more bytes), then one
// 16-byte entry per segment, indexed by segment number.
#pragma once

#include "uefi/uefi_base.h"

struct SegmentTableHeader {
  CHAR8 Signature[4]; // "MCFG"
  UINT32 Length;      // header and entries, in bytes
  UINT8 Reserved[8];
};
static_assert(sizeof(SegmentTableHeader) == 16);

struct SegmentTableEntry {
  UINT32 BaseLow; // 64-bit ECAM base, lower word first
  UINT32 BaseHigh;
  UINT16 Segment;
  UINT8 StartBus;
  UINT8 EndBus;
  UINT32 Reserved;
};
static_assert(sizeof(SegmentTableEntry) == 16);

constexpr UINT32 kDefaultSegmentCount = 8;

struct DefaultSegmentTableLayout {
  SegmentTableHeader Header;
  SegmentTableEntry Entries[kDefaultSegmentCount];
};
static_assert(sizeof(DefaultSegmentTableLayout) == 144);

// Segment 0's configuration space at 0x80000000; segments 1 to 7 without a base of their own.
extern const DefaultSegmentTableLayout DefaultSegmentTable;

struct SegmentBase {
  UINT32 Low;
  UINT32 High;
};

// The length field of the table at `table` (any alignment).
UINT32 SegmentTableLength(const VOID *table);

// The base of `segment` from the table at `table`, whose entries end where its length field
// says. A segment without an entry inside that length gives a base of 0.
SegmentBase SegmentTableBase(const VOID *table, UINT32 segment);
