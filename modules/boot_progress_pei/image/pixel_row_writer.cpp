#include "modules/boot_progress_pei/image/pixel_row_writer.h"

#include "access/mmio.h"

namespace {
constexpr UINT32 kDwordBytes = 4;
constexpr UINTN kDwordAlignMask = kDwordBytes - 1;
constexpr unsigned kBitsPerByte = 8;
} // namespace

void PixelRowWriter::Put(UINT8 pixel) {
  if (count_ == 0 && (next_ & kDwordAlignMask) != 0) {
    MmioWrite8(next_++, pixel);
    return;
  }
  held_ |= static_cast<UINT32>(pixel) << (count_ * kBitsPerByte);
  if (++count_ == kDwordBytes) {
    MmioWrite32(next_, held_);
    next_ += kDwordBytes;
    held_ = 0;
    count_ = 0;
  }
}

void PixelRowWriter::Finish() {
  for (UINT32 i = 0; i < count_; ++i) {
    MmioWrite8(next_ + i, static_cast<UINT8>(held_ >> (i * kBitsPerByte)));
  }
  next_ += count_;
  held_ = 0;
  count_ = 0;
}
