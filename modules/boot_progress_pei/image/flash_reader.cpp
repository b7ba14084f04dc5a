#include "modules/boot_progress_pei/image/flash_reader.h"

#include "access/mmio.h"

namespace {
constexpr UINT8 kErasedByte = 0xFF;
constexpr unsigned kBitsPerByte = 8;

UINT32 ReadUnit(UINTN address, UINT32 *) { return MmioRead32(address); }
UINT64 ReadUnit(UINTN address, UINT64 *) { return MmioRead64(address); }
} // namespace

template <typename Unit>
UINT8 FlashUnitReader<Unit>::Read8(UINT32 offset) {
  constexpr UINT32 kUnitBytes = sizeof(Unit);
  if (offset >= length_) {
    return kErasedByte;
  }
  const UINTN address = start_ + offset;
  const UINT32 lane = static_cast<UINT32>(address & (kUnitBytes - 1));
  const UINTN unit = address - lane;
  if (unit != kept_address_) {
    // The unit starts `lane` bytes before `offset`: it must neither begin before the file nor
    // end after it (offset - lane < length_, so the subtraction below cannot wrap).
    if (lane > offset || length_ - (offset - lane) < kUnitBytes) {
      return MmioRead8(address);
    }
    kept_ = ReadUnit(unit, static_cast<Unit *>(nullptr));
    kept_address_ = unit;
  }
  return static_cast<UINT8>(kept_ >> (lane * kBitsPerByte));
}

template <typename Unit>
UINT32 FlashUnitReader<Unit>::ReadLittleEndian(UINT32 offset, UINT32 bytes) {
  UINT32 value = 0;
  for (UINT32 i = 0; i < bytes; ++i) {
    value |= static_cast<UINT32>(Read8(offset + i)) << (i * kBitsPerByte);
  }
  return value;
}

template class FlashUnitReader<UINT32>;
template class FlashUnitReader<UINT64>;
