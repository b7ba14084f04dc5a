// DrawBitmap on arbitrary file bytes and margins. Input: left margin (4 bytes), bottom margin
// (4), HighPalette (1), then the file. Besides the backend's bounds, a refused image must leave
// palette, margins and frame buffer untouched.
#include <cstdlib>
#include <cstring>

#include "image/bmp_draw.h"
#include "tests/fuzz/fuzz_access.h"

namespace {
constexpr uint64_t kFileBase = 0x10000000;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 9) {
    return 0;
  }
  uint32_t left, bottom;
  std::memcpy(&left, data, 4);
  std::memcpy(&bottom, data + 4, 4);
  const uint32_t highPalette = data[8] % 3;
  // Small margins are the interesting ones; keep most inputs near the screen.
  if ((data[8] & 0x80) == 0) {
    left %= 1024;
    bottom %= 1024;
  }
  const uint8_t *file = data + 9;
  const size_t length = size - 9;
  fuzz::SetReadableWindow(kFileBase, file, length);
  fuzz::ResetCounters();
  const uint32_t leftIn = left, bottomIn = bottom;
  uint32_t width = 0, height = 0;
  const EFI_STATUS status =
      DrawBitmap(kFileBase, static_cast<uint32_t>(length), kBmpSizeLimit, fuzz::kFrameBufferBase,
                 &left, &bottom, highPalette, &width, &height);
  if (EFI_ERROR(status) &&
      (left != leftIn || bottom != bottomIn || fuzz::DacWrites() || fuzz::FrameBufferWrites())) {
    std::abort();
  }
  return 0;
}
