// DrawBitmap on arbitrary file bytes and margins. Input: left margin (4 bytes), bottom margin
// (4), HighPalette (1), then the file. Besides the backend's bounds, a refused image must leave
// palette, margins and frame buffer untouched, and the drawing must match the byte-at-a-time
// reference exactly: status, margins, sizes, DAC writes and every frame-buffer byte.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "modules/boot_progress_pei/image/bmp_draw.h"
#include "tests/fuzz/fuzz_access.h"
#include "tests/image/reference/reference_draw.h"

namespace {
constexpr uint64_t kFileBase = 0x10000000;

struct Outcome {
  EFI_STATUS status;
  uint32_t left, bottom, width, height;
  std::vector<uint32_t> dac;
};

using DrawFn = EFI_STATUS (*)(UINTN, UINT32, UINT32, UINTN, UINT32 *, UINT32 *, UINT32, UINT32 *,
                              UINT32 *);

// Draws from a frame buffer filled with a fixed pattern, so that both drawings start alike.
Outcome Draw(DrawFn draw, uint32_t left, uint32_t bottom, uint32_t highPalette, size_t length) {
  static const std::vector<uint8_t> pattern = [] {
    std::vector<uint8_t> p(fuzz::kFrameBufferSize);
    for (size_t i = 0; i < p.size(); ++i) {
      p[i] = static_cast<uint8_t>(i * 131);
    }
    return p;
  }();
  std::memcpy(fuzz::FrameBuffer(), pattern.data(), pattern.size());
  fuzz::ResetCounters();
  Outcome o{0, left, bottom, 0, 0, {}};
  o.status = draw(kFileBase, static_cast<uint32_t>(length), kBmpSizeLimit, fuzz::kFrameBufferBase,
                  &o.left, &o.bottom, highPalette, &o.width, &o.height);
  o.dac = fuzz::DacLog();
  return o;
}
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

  static std::vector<uint8_t> expected(fuzz::kFrameBufferSize);
  const Outcome want = Draw(reference::DrawBitmap, left, bottom, highPalette, length);
  std::memcpy(expected.data(), fuzz::FrameBuffer(), expected.size());
  const Outcome got = Draw(DrawBitmap, left, bottom, highPalette, length);

  if (EFI_ERROR(got.status) && (got.left != left || got.bottom != bottom || fuzz::DacWrites() ||
                                fuzz::FrameBufferWrites())) {
    std::abort();
  }
  if (got.status != want.status || got.left != want.left || got.bottom != want.bottom ||
      got.width != want.width || got.height != want.height || got.dac != want.dac ||
      std::memcmp(expected.data(), fuzz::FrameBuffer(), expected.size()) != 0) {
    std::abort();
  }
  return 0;
}
