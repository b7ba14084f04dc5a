// A fuzz-only backend of the access layer: memory reads are allowed only inside one readable
// window (the file or the flash under test), writes only inside the frame buffer, I/O only to
// the DAC ports and the delay port. Anything else aborts, so the fuzzer reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

constexpr uint64_t kFrameBufferBase = 0xA0000000;
constexpr size_t kFrameBufferSize = 800 * 600;

void SetReadableWindow(uint64_t base, const uint8_t *bytes, size_t size);
void ResetCounters();
size_t FrameBufferWrites();
size_t DacWrites();
// The frame buffer's bytes, and every DAC port write since ResetCounters (port << 8 | value).
uint8_t *FrameBuffer();
const std::vector<uint32_t> &DacLog();

} // namespace fuzz
