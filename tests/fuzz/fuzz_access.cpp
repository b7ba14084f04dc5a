#include "tests/fuzz/fuzz_access.h"

#include <cstdio>
#include <cstdlib>

#include "access/mmio.h"
#include "access/port_io.h"

namespace fuzz {
namespace {
uint64_t window_base = 0;
const uint8_t *window = nullptr;
size_t window_size = 0;
uint8_t frame_buffer[kFrameBufferSize];
size_t fb_writes = 0;
size_t dac_writes = 0;
std::vector<uint32_t> dac_log;

[[noreturn]] void Fail(const char *what, uint64_t address, unsigned width) {
  std::fprintf(stderr, "fuzz: %s at 0x%llx, %u bytes\n", what,
               static_cast<unsigned long long>(address), width);
  std::abort();
}

uint64_t Read(uintptr_t address, unsigned width) {
  if (address < window_base || address - window_base > window_size ||
      width > window_size - (address - window_base)) {
    Fail("read outside the readable window", address, width);
  }
  uint64_t v = 0;
  for (unsigned i = 0; i < width; ++i) {
    v |= static_cast<uint64_t>(window[address - window_base + i]) << (8 * i);
  }
  return v;
}

void Write(uintptr_t address, unsigned width, uint64_t value) {
  if (address < kFrameBufferBase || address - kFrameBufferBase > kFrameBufferSize ||
      width > kFrameBufferSize - (address - kFrameBufferBase)) {
    Fail("write outside the frame buffer", address, width);
  }
  for (unsigned i = 0; i < width; ++i) {
    frame_buffer[address - kFrameBufferBase + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  ++fb_writes;
}
} // namespace

void SetReadableWindow(uint64_t base, const uint8_t *bytes, size_t size) {
  window_base = base;
  window = bytes;
  window_size = size;
}
void ResetCounters() {
  fb_writes = dac_writes = 0;
  dac_log.clear();
}
size_t FrameBufferWrites() { return fb_writes; }
size_t DacWrites() { return dac_writes; }
uint8_t *FrameBuffer() { return frame_buffer; }
const std::vector<uint32_t> &DacLog() { return dac_log; }

} // namespace fuzz

uint8_t MmioRead8(uintptr_t a) { return static_cast<uint8_t>(fuzz::Read(a, 1)); }
uint16_t MmioRead16(uintptr_t a) { return static_cast<uint16_t>(fuzz::Read(a, 2)); }
uint32_t MmioRead32(uintptr_t a) { return static_cast<uint32_t>(fuzz::Read(a, 4)); }
uint64_t MmioRead64(uintptr_t a) { return fuzz::Read(a, 8); }
void MmioWrite8(uintptr_t a, uint8_t v) { fuzz::Write(a, 1, v); }
void MmioWrite16(uintptr_t a, uint16_t v) { fuzz::Write(a, 2, v); }
void MmioWrite32(uintptr_t a, uint32_t v) { fuzz::Write(a, 4, v); }
void MmioWrite64(uintptr_t a, uint64_t v) { fuzz::Write(a, 8, v); }
void MmioFill8(uintptr_t a, uintptr_t count, uint8_t v) {
  for (uintptr_t i = 0; i < count; ++i) {
    fuzz::Write(a + i, 1, v);
  }
}
void MmioFill8Wide(uintptr_t a, uintptr_t count, uint8_t v) {
  for (; count != 0 && (a & 3) != 0; --count, ++a) {
    fuzz::Write(a, 1, v);
  }
  for (; count >= 4; count -= 4, a += 4) {
    fuzz::Write(a, 4, v * 0x01010101u);
  }
  for (; count != 0; --count, ++a) {
    fuzz::Write(a, 1, v);
  }
}

uint8_t IoRead8(uint16_t port) {
  if (port != 0x3C4) {
    fuzz::Fail("unexpected port read", port, 1);
  }
  return 0xFF;
}
void IoWrite8(uint16_t port, uint8_t value) {
  if (port != 0x3C8 && port != 0x3C9) {
    fuzz::Fail("unexpected port write", port, 1);
  }
  ++fuzz::dac_writes;
  fuzz::dac_log.push_back(static_cast<uint32_t>(port) << 8 | value);
}
uint16_t IoRead16(uint16_t port) { fuzz::Fail("unexpected port read", port, 2); }
uint32_t IoRead32(uint16_t port) { fuzz::Fail("unexpected port read", port, 4); }
void IoWrite16(uint16_t port, uint16_t) { fuzz::Fail("unexpected port write", port, 2); }
void IoWrite32(uint16_t port, uint32_t) { fuzz::Fail("unexpected port write", port, 4); }
