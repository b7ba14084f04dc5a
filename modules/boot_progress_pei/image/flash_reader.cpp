#include "modules/boot_progress_pei/image/flash_reader.h"

#include "access/mmio.h"

namespace {
constexpr UINT32 kDwordBytes = 4;
constexpr UINTN kDwordAlignMask = kDwordBytes - 1;
constexpr UINT8 kErasedByte = 0xFF;
constexpr unsigned kBitsPerByte = 8;
} // namespace

UINT8 FlashReader::Read8(UINT32 offset) {
  if (offset >= length_) {
    return kErasedByte;
  }
  const UINTN address = start_ + offset;
  const UINT32 lane = static_cast<UINT32>(address & kDwordAlignMask);
  const UINTN dword = address - lane;
  if (dword != kept_address_) {
    // The dword starts `lane` bytes before `offset`: it must neither begin before the file nor
    // end after it (offset - lane < length_, so the subtraction below cannot wrap).
    if (lane > offset || length_ - (offset - lane) < kDwordBytes) {
      return MmioRead8(address);
    }
    kept_ = MmioRead32(dword);
    kept_address_ = dword;
  }
  return static_cast<UINT8>(kept_ >> (lane * kBitsPerByte));
}

UINT32 FlashReader::ReadLittleEndian(UINT32 offset, UINT32 bytes) {
  UINT32 value = 0;
  for (UINT32 i = 0; i < bytes; ++i) {
    value |= static_cast<UINT32>(Read8(offset + i)) << (i * kBitsPerByte);
  }
  return value;
}
