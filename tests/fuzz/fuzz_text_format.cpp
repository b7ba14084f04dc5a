// The formatter on arbitrary formats and argument slots. Input: the limit - 1 (1 byte), the slot
// count (1 byte, at most 16), the slots (4 bytes each), the length of a text argument (1 byte, at
// most 32) and its bytes, a GUID (16 bytes), then the format. The pointer table holds the text as
// 8-bit and as 16-bit text, the GUID, and a null entry, so any slot may name any of them.
// Checked: nothing is written at or past the limit (the buffer is exactly that long), the count
// is below the limit with a terminator after it, and the text is the start of what a 64 KiB limit
// gives for the same input.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "modules/boot_progress_pei/platform/text_format.h"

namespace {
constexpr size_t kMaxSlots = 16;
constexpr size_t kMaxText = 32;
constexpr UINT32 kLargeLimit = 64 * 1024;

// Consumes bytes from the front of the input; past its end everything reads as zero.
struct Reader {
  const uint8_t *data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) {
      return 0;
    }
    --size;
    return *data++;
  }
  void Bytes(void *out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      static_cast<uint8_t *>(out)[i] = Byte();
    }
  }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in{data, size};
  const UINT32 limit = UINT32{in.Byte()} + 1;
  std::vector<UINT32> slots(in.Byte() % (kMaxSlots + 1));
  for (UINT32 &slot : slots) {
    in.Bytes(&slot, sizeof(slot));
  }
  const size_t textLength = in.Byte() % (kMaxText + 1);
  std::vector<CHAR8> text(textLength + 1, 0);
  std::vector<UINT16> text16(textLength + 1, 0);
  for (size_t i = 0; i < textLength; ++i) {
    text[i] = static_cast<CHAR8>(in.Byte());
    text16[i] = static_cast<UINT8>(text[i]) | (i % 3 == 0 ? 0x4100 : 0);
  }
  EFI_GUID guid;
  in.Bytes(&guid, sizeof(guid));
  std::vector<CHAR8> format(in.data, in.data + in.size);
  format.push_back(0);

  const FormatPointer pointers[] = {{text.data(), FormatPointerKind::Text8},
                                    {text16.data(), FormatPointerKind::Text16},
                                    {&guid, FormatPointerKind::Guid},
                                    {nullptr, FormatPointerKind::Text8}};
  auto run = [&](CHAR8 *buffer, UINT32 bufferLimit) {
    FormatArgs args = {slots.data(), static_cast<UINT32>(slots.size()), pointers, 4, 0};
    return FormatToBufferV(&args, format.data(), buffer, bufferLimit);
  };

  std::vector<CHAR8> small(limit); // exactly the limit: ASan sees any byte past it
  const INT32 count = run(small.data(), limit);
  if (count < 0 || static_cast<UINT32>(count) >= limit || small[count] != 0) {
    std::abort();
  }
  std::vector<CHAR8> large(kLargeLimit);
  const INT32 full = run(large.data(), kLargeLimit);
  if (full < 0 || static_cast<UINT32>(full) >= kLargeLimit || large[full] != 0) {
    std::abort();
  }
  const INT32 expected =
      full < static_cast<INT32>(limit - 1) ? full : static_cast<INT32>(limit - 1);
  if (count != expected || std::memcmp(small.data(), large.data(), count) != 0) {
    std::abort();
  }
  return 0;
}
