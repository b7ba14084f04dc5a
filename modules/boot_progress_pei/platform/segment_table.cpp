#include "modules/boot_progress_pei/platform/segment_table.h"

namespace {
// Reads a little-endian word byte by byte: a platform's table may sit at any alignment.
UINT32 ReadWord(const UINT8 *bytes) {
  return UINT32{bytes[0]} | (UINT32{bytes[1]} << 8) | (UINT32{bytes[2]} << 16) |
         (UINT32{bytes[3]} << 24);
}
} // namespace

const DefaultSegmentTableLayout DefaultSegmentTable = {
    {{'M', 'C', 'F', 'G'}, sizeof(DefaultSegmentTableLayout), {0x01, 0x08, 0xFF, 0, 0, 0, 0, 0}},
    {
        {0x80000000, 0, 0, 0x00, 0xFF, 0},
        {0, 0, 1, 0x00, 0xFF, 0},
        {0, 0, 2, 0x00, 0xFF, 0},
        {0, 0, 3, 0x00, 0xFF, 0},
        {0, 0, 4, 0x00, 0xFF, 0},
        {0, 0, 5, 0x00, 0xFF, 0},
        {0, 0, 6, 0x00, 0xFF, 0},
        {0, 0, 7, 0x00, 0xFF, 0},
    },
};

UINT32 SegmentTableLength(const VOID *table) {
  return ReadWord(static_cast<const UINT8 *>(table) + offsetof(SegmentTableHeader, Length));
}

SegmentBase SegmentTableBase(const VOID *table, UINT32 segment) {
  const UINT32 length = SegmentTableLength(table);
  const UINT32 entriesBytes =
      length > sizeof(SegmentTableHeader) ? length - sizeof(SegmentTableHeader) : 0;
  if (segment >= entriesBytes / sizeof(SegmentTableEntry)) {
    return {0, 0};
  }
  const UINT8 *entry = static_cast<const UINT8 *>(table) + sizeof(SegmentTableHeader) +
                       segment * sizeof(SegmentTableEntry);
  return {ReadWord(entry + offsetof(SegmentTableEntry, BaseLow)),
          ReadWord(entry + offsetof(SegmentTableEntry, BaseHigh))};
}
